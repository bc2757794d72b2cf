// Any bytes, read as an Excellon drill file and nothing more: the reader alone, many times faster
// than the target that also draws what it read, so that long runs reach deep into the reader.

#include "excellon/excellonreader.h"

#include "drilldatachecks.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    const kivotrek::DrillData drill = kivotrek::readExcellon(file, QStringLiteral("fuzz.drl"), {});
    kivotrek::fuzz::checkDrillData(file, drill);
    return 0;
}
