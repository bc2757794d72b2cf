#include "gerber/formatsniffer.h"

#include "common/fileio.h"

#include <QFile>
#include <algorithm>

namespace kivotrek {

namespace {
constexpr qint64 kHeadBytes = qint64(64) * 1024;
} // namespace

bool looksLikeRs274x(const QString& path)
{
    return looksLikeRs274xHead(inputHead(path, kHeadBytes));
}

bool looksLikeRs274xHead(const QByteArray& bytes)
{
    const QByteArrayView head = QByteArrayView(bytes).first(std::min<qsizetype>(bytes.size(), kHeadBytes));
    qsizetype end = 0;
    for (int lines = 0; lines < 100 && end < head.size(); ++lines) {
        const qsizetype nl = head.indexOf('\n', end);
        end = nl < 0 ? head.size() : nl + 1;
    }
    return head.first(end).indexOf("%FS") >= 0;
}

} // namespace kivotrek
