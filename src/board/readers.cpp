#include "board/readers.h"

#include "board/board.h"
#include "common/captions.h"
#include "common/fileio.h"
#include "common/numbers.h"
#include "excellon/excellonreader.h"
#include "gerber/formatsniffer.h"
#include "gerber/rs274xreader.h"
#include "gerber/standardreader.h"
#include "gerber/x2reader.h"

#include <QFile>

namespace kivotrek {

namespace {
// The D-codes the read gave a diameter, as the file's own sizes (before settings or the user
// change the table).
std::vector<std::pair<QString, double>> apertureSizes(const HoleTable& table)
{
    std::vector<std::pair<QString, double>> sizes;
    for (int r = 0; r < HoleTable::kRows; ++r) {
        const HoleRow& row = table.row(r);
        if (row.dcode == QLatin1String("D"))
            continue;
        if (const auto d = numberAtStart(row.diameter))
            sizes.emplace_back(row.dcode, *d);
    }
    return sizes;
}

ReadResult readStandardBoard(
    const QString& path, HoleTable& table, BoardExtent& extent, const MessageSink& sink, BoardData& data)
{
    return readStandardGerber(
        path, table, extent, sink, &data.gerberMarks.emplace(), &data.gerberSteps.emplace());
}

// An RS-274X file's aperture definitions are its own sizes, which the checks compare with the table's.
ReadResult readRs274xBoard(
    const QString& path, HoleTable& table, BoardExtent& extent, const MessageSink& sink, BoardData& data)
{
    const ReadResult r =
        readRs274xGerber(path, table, extent, sink, &data.gerberMarks.emplace(), &data.gerberSteps.emplace());
    data.apertures = apertureSizes(table);
    return r;
}

DrillData readGerberDrill(
    const QString& path, const MessageSink& sink, const std::optional<CoordinateFormat>&)
{
    return readGerberX2(path, sink); // its format is always stated
}

bool looksLikeExcellonFile(const QString&, const QByteArray& head)
{
    return looksLikeExcellonHead(head);
}

bool looksLikeGerberX2File(const QString&, const QByteArray& head)
{
    return looksLikeGerberX2Head(head);
}

bool looksLikeRs274xFile(const QString&, const QByteArray& head)
{
    return looksLikeRs274xHead(head);
}

QByteArray headOf(const QString& path)
{
    return inputHead(path, kRecognitionBytes);
}
} // namespace

const std::vector<ReaderDescriptor>& readerDescriptors()
{
    using S = ReaderScope;
    static const std::vector<ReaderDescriptor> readers = {
        {ReaderKind::Standard, "--standard", "standard", "standard Gerber F4.3", "readStandardGerber",
            msg::readStandardGerberCommand, 'S', msg::gerberFilesItems, S::WholeBoard, nullptr, true,
            prepareStandardRead, readStandardBoard, nullptr},
        {ReaderKind::Rs274x, "--rs274x", "RS-274X", "", "readRs274x", msg::readRs274xCommand, 'X',
            msg::gerberFilesItems, S::WholeBoard, looksLikeRs274xFile, false, prepareRs274xRead,
            readRs274xBoard, nullptr},
        {ReaderKind::Excellon, "--excellon", "Excellon", "an Excellon drill file", "readExcellon",
            msg::readExcellonCommand, 'E', msg::drillFilesItem, S::DrillFile, looksLikeExcellonFile, false,
            prepareExcellonRead, nullptr, readExcellon},
        {ReaderKind::GerberX2, "--x2", "Gerber X2", "today's Gerber drill and outline files", "readGerberX2",
            msg::readGerberX2Command, 'G', msg::gerberFilesItems, S::DrillFile, looksLikeGerberX2File, true,
            prepareExcellonRead, nullptr, readGerberDrill},
    };
    return readers;
}

const ReaderDescriptor* findReader(const QString& id)
{
    for (const ReaderDescriptor& d : readerDescriptors()) {
        if (id == QLatin1String(d.kind.id()))
            return &d;
    }
    return nullptr;
}

const ReaderDescriptor& readerOf(ReaderKind kind)
{
    // A kind is made by the table's lines (and its four constants), never from outside: the
    // recent boards and the batch command look an id up with findReader.
    for (const ReaderDescriptor& d : readerDescriptors()) {
        if (d.kind == kind)
            return d;
    }
    Q_ASSERT(false);
    return readerDescriptors().front();
}

const ReaderDescriptor& lastResortReader(ReaderScope scope)
{
    for (const ReaderDescriptor& d : readerDescriptors()) {
        if (d.scope == scope && d.lastResort)
            return d;
    }
    Q_ASSERT(false); // one of each scope, as the registry's test says
    return readerDescriptors().front();
}

const ReaderDescriptor* drillReaderByContent(const QString& path, const QByteArray& head)
{
    for (const ReaderDescriptor& d : readerDescriptors()) {
        if (d.scope == ReaderScope::DrillFile && !d.lastResort && d.recognises && d.recognises(path, head))
            return &d;
    }
    return nullptr;
}

std::vector<const ReaderDescriptor*> recognitionOrder()
{
    std::vector<const ReaderDescriptor*> order;
    const ReaderDescriptor& last = lastResortReader(ReaderScope::WholeBoard);
    for (const ReaderScope scope : {ReaderScope::DrillFile, ReaderScope::WholeBoard}) {
        for (const ReaderDescriptor& d : readerDescriptors()) {
            if (d.scope == scope && d.recognises && &d != &last)
                order.push_back(&d);
        }
    }
    order.push_back(&last);
    return order;
}

ReaderKind detectReader(const QString& path)
{
    const QByteArray head = headOf(path);
    const std::vector<const ReaderDescriptor*> order = recognitionOrder();
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        if (order[i]->recognises(path, head))
            return order[i]->kind;
    }
    return order.back()->kind;
}

ReaderKind addedFileReader(const QString& path)
{
    const ReaderDescriptor* d = drillReaderByContent(path, headOf(path));
    return d ? d->kind : lastResortReader(ReaderScope::DrillFile).kind;
}

QString readerFilter(const ReaderDescriptor& reader)
{
    return reader.fileItems() + QLatin1Char('|') + msg::allFilesItem();
}

QString addedFileFilter()
{
    QStringList items;
    for (const ReaderDescriptor& d : readerDescriptors()) {
        if (d.scope == ReaderScope::DrillFile && !items.contains(d.fileItems()))
            items << d.fileItems();
    }
    items << msg::allFilesItem();
    return items.join(QLatin1Char('|'));
}

} // namespace kivotrek
