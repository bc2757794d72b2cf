#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <ostream>

#include "common/messagesink.h"
#include "table/holetable.h"

// Test failures show texts as text.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace kivotrek {
// A row's kind as its name, and whether it was typed.
inline void PrintTo(const HoleKind& kind, std::ostream* os)
{
    *os << (kind == HoleKind::Typed ? "typed " : "") << '"' << kind.name().toStdString() << '"';
}
} // namespace kivotrek

namespace kivotrek::test {

inline QString dataPath(const char* name)
{
    return QString::fromUtf8(KIVOTREK_TEST_DATA) + QLatin1Char('/') + QString::fromUtf8(name);
}

// A file of the sample board in examples/.
inline QString example(const char* name)
{
    return QString::fromUtf8(KIVOTREK_SOURCE_DIR) + QStringLiteral("/examples/") + QString::fromUtf8(name);
}

// The system's reason for an error number, as a failed open or write reports it (in the
// session's language), in the brackets that follow a message: 「（No such file or directory）」.
inline QString reason(int error)
{
    return QStringLiteral("（") + QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral("）");
}

// The whole content of a file; empty when it cannot be read.
inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A file whose third line never ends before the readers' 64 MiB cap: two lines, 65 MiB of 'X',
// and more lines; a Gerber file unless told otherwise.
inline void writeEndlessThirdLine(const QString& path,
    const QByteArray& twoLines = "G54D10*\nX1000Y1000D03*\n", const QByteArray& after = "X2000Y2000D03*\n")
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(twoLines);
    const QByteArray chunk(1 << 20, 'X');
    for (int i = 0; i < 65; ++i)
        f.write(chunk);
    f.write("\n" + after);
}

// An Excellon file of 200 routes of a 1 mm tool along the same 10 mm, 1 um apart, each of 1,000
// moves: a place where the drill checks would read 40 billion pairs, too many to judge even the
// first route.
inline QByteArray piledRoutes()
{
    QByteArray drill = "M48\nMETRIC\nT1C1.000\n%\nT1\n";
    for (int k = 0; k < 200; ++k) {
        const QByteArray y = QByteArray::number(10 + 0.001 * k, 'f', 3);
        drill += "G00X10.000Y" + y + "\nM15\n";
        for (int i = 1; i <= 1000; ++i)
            drill += "G01X" + QByteArray::number(10 + 0.01 * i, 'f', 3) + "Y" + y + "\n";
        drill += "M16\n";
    }
    return drill + "M30\n";
}

// A scratch folder that holds files written by a test.
class Scratch {
public:
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir_.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QString path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

// Records what a command would show in message boxes.
struct Messages {
    QStringList texts;
    MessageSink sink()
    {
        return [this](const QString& t) { texts << t; };
    }
};

// Records each diagnostic whole, as "warning file:line text" (the line only where there is one).
inline QString described(const Diagnostic& d)
{
    static const char* const kSeverities[] = {"information", "warning", "error"};
    return QString::fromLatin1(kSeverities[int(d.severity)]) + QLatin1Char(' ') + d.file
        + (d.line ? QLatin1Char(':') + QString::number(*d.line) : QString()) + QLatin1Char(' ') + d.text;
}
struct Diagnostics {
    QStringList said;
    MessageSink sink()
    {
        return [this](const Diagnostic& d) { said << described(d); };
    }
};

} // namespace kivotrek::test
