// The sink every core command reports through: texts alone for the batch command, whole
// diagnostics for the window.

#include "common/messagesink.h"
#include "testutil.h"

#include <gtest/gtest.h>

using namespace kivotrek;

TEST(MessageSink, ATextAloneIsAWarningOfNoFileAndAFunctionOfTextsGetsTheTextsInOrder)
{
    test::Diagnostics whole;
    const MessageSink sink = whole.sink();
    sink(QStringLiteral("plain"));
    sink.information(QStringLiteral("read again"), QStringLiteral("/b/a.drl"));
    sink.warning(QStringLiteral("limit"), QStringLiteral("/b/a.drl"), 12);
    sink.error(QStringLiteral("cannot open"), QStringLiteral("/b/c.drl"));
    sink(Diagnostic {Severity::Error, QString(), 3, QStringLiteral("given whole")});
    EXPECT_EQ(whole.said,
        QStringList({QStringLiteral("warning  plain"), QStringLiteral("information /b/a.drl read again"),
            QStringLiteral("warning /b/a.drl:12 limit"), QStringLiteral("error /b/c.drl cannot open"),
            QStringLiteral("error :3 given whole")}));

    // The batch command's sinks take texts: each severity comes as its text alone.
    QStringList texts;
    const MessageSink printed = [&texts](const QString& t) { texts << t; };
    printed.information(QStringLiteral("a"), QStringLiteral("/f"), 1);
    printed.warning(QStringLiteral("b"));
    printed.error(QStringLiteral("c"), QStringLiteral("/f"));
    printed(QStringLiteral("d"));
    EXPECT_EQ(texts,
        QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}));
}

TEST(MessageSink, NoSinkIsFalseAndSaysNothing)
{
    const MessageSink none;
    EXPECT_FALSE(none);
    none(QStringLiteral("nobody hears this")); // no call, no crash
    none.error(QStringLiteral("nor this"));
    const std::function<void(const QString&)> empty;
    EXPECT_FALSE(MessageSink(empty)); // an empty function is no sink
    EXPECT_FALSE(MessageSink(nullptr));
    const MessageSink copied = MessageSink(none);
    EXPECT_FALSE(copied);
    int heard = 0;
    const MessageSink some = [&heard](const QString&) { ++heard; };
    EXPECT_TRUE(some);
    const MessageSink again = some; // a copy is the same sink, not one wrapped in another
    again(QStringLiteral("x"));
    EXPECT_EQ(heard, 1);
}
