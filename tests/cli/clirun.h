#pragma once

// Runs kivotrek-cli as a user would: its own platform, its output, errors and exit status.

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

namespace kivotrek::test {

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject json;
};

// The command with the arguments; standard output into a file when outputFile is given.
inline CliRun cli(const QStringList& args, const QString& outputFile = QString())
{
    QProcess p;
    // The command line chooses its own platform, as it does for users.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    if (!outputFile.isEmpty())
        p.setStandardOutputFile(outputFile, QIODevice::Append);
    p.start(QString::fromUtf8(KIVOTREK_CLI), args);
    EXPECT_TRUE(p.waitForFinished(60000));
    CliRun r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.json = QJsonDocument::fromJson(r.out).object();
    return r;
}

} // namespace kivotrek::test
