#include "gerber/formatsniffer.h"

#include "common/fileio.h"

#include <QFile>

namespace kivotrek {

bool looksLikeRs274x(const QString& path)
{
    QFile file(path);
    if (!isRegularFile(path) || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(64 * 1024);
    qsizetype end = 0;
    for (int lines = 0; lines < 100 && end < head.size(); ++lines) {
        const qsizetype nl = head.indexOf('\n', end);
        end = nl < 0 ? head.size() : nl + 1;
    }
    return QByteArrayView(head).first(end).indexOf("%FS") >= 0;
}

} // namespace kivotrek
