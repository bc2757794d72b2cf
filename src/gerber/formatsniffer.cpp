#include "gerber/formatsniffer.h"

#include "gerber/x2reader.h"

#include "common/fileio.h"
#include "excellon/excellonreader.h"

#include <QFile>

namespace kivotrek {

bool looksLikeRs274x(const QString& path)
{
    QFile file(path);
    if (!openToRead(file))
        return false;
    const QByteArray head = file.read(qint64(64) * 1024);
    qsizetype end = 0;
    for (int lines = 0; lines < 100 && end < head.size(); ++lines) {
        const qsizetype nl = head.indexOf('\n', end);
        end = nl < 0 ? head.size() : nl + 1;
    }
    return QByteArrayView(head).first(end).indexOf("%FS") >= 0;
}

ReaderKind detectReader(const QString& path)
{
    if (looksLikeExcellon(path))
        return ReaderKind::Excellon;
    if (looksLikeGerberX2(path))
        return ReaderKind::GerberX2;
    return looksLikeRs274x(path) ? ReaderKind::Rs274x : ReaderKind::Standard;
}

} // namespace kivotrek
