#include "settings/settingsfile.h"
#include "testutil.h"

#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kivotrek;

namespace {
QByteArray hex(const char* spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', "").replace('|', ""));
}

HoleTable emptyTexts()
{
    HoleTable t;
    for (int i = 0; i < HoleTable::kRows; ++i)
        t.row(i).dcode.clear();
    return t;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

// Byte offset of row i's first record in a file whose rows are all of the given sizes.
QByteArray rowBytes(const QByteArray& file, int skipBytes, int size)
{
    return file.mid(skipBytes, size);
}
} // namespace

TEST(SettingsCodec, WorkedRowOfFiftyOneBytes)
{
    HoleTable t = emptyTexts();
    HoleRow& r = t.row(5);
    r = {QStringLiteral("D10"), QStringLiteral("0.8"), QStringLiteral("±"), QStringLiteral("0.1"), QString(),
        QString(), HoleKind::Plated, fillColor(255, 0, 0)};
    const auto bytes = encodeSettings(settingsValues(t, QString()));
    ASSERT_TRUE(bytes);
    // Row 0 takes 40 bytes, rows 1 to 4 38 bytes each (all texts empty).
    EXPECT_EQ(rowBytes(*bytes, 40 + 4 * 38, 51),
        hex("08 00 03 00 44 31 30 | 08 00 03 00 30 2E 38 | 08 00 02 00 81 7D | 08 00 03 00 30 2E 31 |"
            "08 00 00 00 | 08 00 00 00 | 08 00 02 00 54 48 | 03 00 FF 00 00 00 | 00 00 | 00 00"));
}

TEST(SettingsCodec, EmptyTableIs2396Bytes)
{
    const HoleTable t = emptyTexts();
    const auto bytes = encodeSettings(settingsValues(t, QString()));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 2396);
    // Row 0: seven empty texts, its colour (black), the empty product code, an empty record.
    EXPECT_EQ(bytes->left(40),
        hex("08000000 08000000 08000000 08000000 08000000 08000000 08000000"
            "0300 00000000 08000000 0000"));
    EXPECT_EQ(bytes->mid(40 + 28, 10), hex("0300 FF000000 0000 0000")); // row 1 is red: 0x000000FF
}

TEST(SettingsCodec, JapaneseProductCodeAndOddTextsRoundTrip)
{
    HoleTable t;
    const QString code = QStringLiteral("製品コード穴区分け図基板外形寸法公差確認用試作品");
    ASSERT_EQ(code.size(), 24);
    const QString code20 = code.left(20);
    t.row(0).dcode = QStringLiteral("D10");
    t.row(0).diameter = QStringLiteral(" 0.8 ");
    t.row(0).sign1 = QStringLiteral("+/-"); // not a list choice
    t.row(0).tol1 = QStringLiteral("0.15");
    t.row(0).sign2 = QStringLiteral("－");
    t.row(0).kind = HoleKind::Outline;
    t.row(62).color = 0x80000005u;
    const auto bytes = encodeSettings(settingsValues(t, code20));
    ASSERT_TRUE(bytes);
    // 40 bytes of product code in the file.
    EXPECT_EQ(bytes->size(), 2396 + 62 /* "D" on rows 1..62 */ + 3 + 5 + 3 + 4 + 2 + 4 + 40);
    const auto back = decodeSettings(*bytes);
    ASSERT_TRUE(back);
    HoleTable loaded = emptyTexts();
    QString product;
    applySettings(*back, loaded, product);
    EXPECT_EQ(product, code20);
    for (int i = 0; i < HoleTable::kRows; ++i) {
        const HoleRow& a = t.row(i);
        const HoleRow& b = loaded.row(i);
        EXPECT_TRUE(a.dcode == b.dcode && a.diameter == b.diameter && a.sign1 == b.sign1 && a.tol1 == b.tol1
            && a.sign2 == b.sign2 && a.tol2 == b.tol2 && a.kind == b.kind && a.color == b.color)
            << i;
    }
}

TEST(SettingsCodec, EachKindIsStoredByItsOwnNameAndReadBackAsThatKind)
{
    // The kinds of rows 0 to 5: none, plated, non-plated, the outline's, two typed.
    const HoleKind kinds[] = {HoleKind::None, HoleKind::Plated, HoleKind::NonPlated, HoleKind::Outline,
        HoleKind::named(QStringLiteral("VIA")), HoleKind::named(QStringLiteral("th"))};
    HoleTable t = emptyTexts();
    for (int i = 0; i < 6; ++i)
        t.row(i).kind = kinds[i];
    const SettingsValues values = settingsValues(t, QString());
    const auto kindBytes = [&values](int row) {
        SettingsValues one;
        one[0] = values[size_t(row) * kSlotsPerRow + 6];
        const QByteArray bytes = *encodeSettings(one);
        return bytes.left(4 + (uchar(bytes[2]) | uchar(bytes[3]) << 8)).toHex(' '); // the first record
    };
    EXPECT_EQ(kindBytes(0), "08 00 00 00");
    EXPECT_EQ(kindBytes(1), "08 00 02 00 54 48"); // TH
    EXPECT_EQ(kindBytes(2), "08 00 03 00 4e 54 48"); // NTH
    EXPECT_EQ(kindBytes(3), "08 00 04 00 8a 4f 8c 60"); // 外形 in code page 932
    EXPECT_EQ(kindBytes(4), "08 00 03 00 56 49 41"); // VIA, as typed
    EXPECT_EQ(kindBytes(5), "08 00 02 00 74 68"); // th: no kind of its own, kept as typed

    SettingsValues read = values;
    read[6 * kSlotsPerRow + 6] = SettingsValue::ofInteger(5); // a number where the kind is
    HoleTable loaded;
    QString product;
    applySettings(read, loaded, product);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(loaded.row(i).kind, kinds[i]) << i;
    EXPECT_EQ(loaded.row(5).kind, HoleKind::Typed);
    EXPECT_EQ(loaded.row(6).kind, HoleKind::named(QStringLiteral("5")));
    EXPECT_EQ(loaded.row(6).kind.name(), QStringLiteral("5"));
}

TEST(SettingsCodec, TrailingBytesAreIgnoredShortOrUnknownIsRefused)
{
    HoleTable t;
    t.row(3).dcode = QStringLiteral("D13");
    const QByteArray bytes = *encodeSettings(settingsValues(t, QStringLiteral("P-1")));
    EXPECT_TRUE(decodeSettings(bytes + QByteArray(500, 'x')));
    for (qsizetype cut : {qsizetype(0), qsizetype(1), qsizetype(2), bytes.size() - 1, bytes.size() - 2})
        EXPECT_FALSE(decodeSettings(bytes.left(cut))) << cut;
    QByteArray unknown = bytes;
    unknown[0] = 2; // tag 2 in the first record
    EXPECT_FALSE(decodeSettings(unknown));
}

TEST(SettingsCodec, LoadConversions)
{
    SettingsValues v; // all empty
    v[0] = SettingsValue::ofInteger(42); // an integer used as a text
    v[7] = SettingsValue::ofText(QStringLiteral("255")); // a numeric text used as a colour
    v[17] = SettingsValue::ofText(QStringLiteral("red")); // not a colour: row 1 keeps its own
    v[27] = SettingsValue::ofInteger(-2147483643); // 0x80000005
    v[8] = SettingsValue::ofInteger(7); // product code from an integer
    HoleTable t;
    QString product = QStringLiteral("old");
    applySettings(v, t, product);
    EXPECT_EQ(t.row(0).dcode, QStringLiteral("42"));
    EXPECT_EQ(t.row(0).color, 255u);
    EXPECT_EQ(t.row(1).color, HoleTable::initialColor(1));
    EXPECT_EQ(t.row(2).color, 0x80000005u);
    EXPECT_EQ(t.row(3).color, 0u); // empty: black
    EXPECT_EQ(t.row(3).dcode, QString()); // empty text
    EXPECT_EQ(product, QStringLiteral("7"));
}

TEST(SettingsPath, FolderOfTheGerberFile)
{
    EXPECT_EQ(settingsPath(QStringLiteral("C:\\work\\board\\top.gbr")),
        QStringLiteral("C:\\work\\board\\KIVOTREK.INI"));
    EXPECT_EQ(
        settingsPath(QStringLiteral("/home/u/board/top.gbr")), QStringLiteral("/home/u/board/KIVOTREK.INI"));
    EXPECT_EQ(settingsPath(QStringLiteral("  /home/u/board/bottom.gbr ")),
        QStringLiteral("/home/u/board/KIVOTREK.INI"));
    EXPECT_EQ(settingsPath(QStringLiteral("/data/a\\b.gbr")), QStringLiteral("/data/a\\KIVOTREK.INI"));
    EXPECT_EQ(settingsPath(QStringLiteral("top.gbr")), QStringLiteral("KIVOTREK.INI"));
}

TEST(SettingsFile, SaveRightAfterAStandardRead)
{
    HoleTable t;
    t.row(0).dcode = QStringLiteral("D10");
    test::Scratch dir;
    const SaveResult r = saveSettingsFile(t, QString(), dir.path(QStringLiteral("board.gbr")));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.path, dir.path(QStringLiteral("KIVOTREK.INI")));
    const QByteArray file = readAll(r.path);
    EXPECT_EQ(file.size(), 2396 + 3 + 62);
    EXPECT_EQ(file.left(7), hex("08 00 03 00 44 31 30"));
    // Row 1: the one-byte "D", six empty texts, its initial colour, two empty records.
    EXPECT_EQ(file.mid(43, 39),
        hex("08 00 01 00 44 08000000 08000000 08000000 08000000 08000000 08000000"
            "03 00 FF 00 00 00 00 00 00 00"));
}

TEST(SettingsFile, SaveThenLoadRestoresEverythingAndLongerOldFilesAreReplaced)
{
    test::Scratch dir;
    const QString gerber = dir.path(QStringLiteral("top.gbr"));
    dir.write(QStringLiteral("KIVOTREK.INI"), QByteArray(10000, '\x01')); // an old, longer file
    HoleTable t;
    for (int i = 0; i < HoleTable::kRows; ++i) {
        t.row(i) = {QStringLiteral("D%1").arg(100 + i), QStringLiteral("%1 ").arg(i * 0.1),
            QStringLiteral("±"), QStringLiteral("0.05"), QStringLiteral("＋"), QStringLiteral("0.1"),
            i % 2 ? HoleKind::NonPlated : HoleKind::Plated, fillColor(i, 2 * i, 3 * i)};
    }
    ASSERT_TRUE(saveSettingsFile(t, QStringLiteral("ABC-123"), gerber).ok);
    HoleTable loaded;
    QString product;
    QString error;
    ASSERT_TRUE(loadSettings(settingsPath(dir.path(QStringLiteral("bottom.gbr"))), loaded, product, &error));
    EXPECT_EQ(product, QStringLiteral("ABC-123"));
    for (int i = 0; i < HoleTable::kRows; ++i) {
        EXPECT_EQ(loaded.row(i).dcode, t.row(i).dcode);
        EXPECT_EQ(loaded.row(i).diameter, t.row(i).diameter);
        EXPECT_EQ(loaded.row(i).sign2 + loaded.row(i).tol2, QStringLiteral("＋0.1"));
        EXPECT_EQ(loaded.row(i).color, t.row(i).color);
    }
    EXPECT_LT(readAll(dir.path(QStringLiteral("KIVOTREK.INI"))).size(), 10000);
}

TEST(SettingsFile, RefusedLoadsChangeNothing)
{
    test::Scratch dir;
    HoleTable t;
    t.row(0).dcode = QStringLiteral("D10");
    t.row(0).diameter = QStringLiteral("0.8");
    QString product = QStringLiteral("keep");
    const QByteArray good = *encodeSettings(settingsValues(HoleTable(), QString()));
    for (const QByteArray& content : {good.left(good.size() / 2), QByteArray("\x09\x00", 2) + good}) {
        const QString path = dir.write(QStringLiteral("KIVOTREK.INI"), content);
        QString error;
        EXPECT_FALSE(loadSettings(path, t, product, &error));
        EXPECT_EQ(error,
            QStringLiteral("設定ファイル") + path
                + QStringLiteral("を読み込めませんでした。（設定ファイルの形式ではありません）"));
        EXPECT_EQ(t.row(0).diameter, QStringLiteral("0.8"));
        EXPECT_EQ(product, QStringLiteral("keep"));
    }
    QString error;
    EXPECT_FALSE(loadSettings(dir.path(QStringLiteral("missing/KIVOTREK.INI")), t, product, &error));
    EXPECT_EQ(t.row(0).dcode, QStringLiteral("D10"));
}

TEST(SettingsFile, UnwritableTextsAndPlacesAreRefused)
{
    test::Scratch dir;
    const QString gerber = dir.path(QStringLiteral("top.gbr"));
    const QString ini = dir.write(QStringLiteral("KIVOTREK.INI"), "old");
    HoleTable t;
    t.row(4).diameter = QStringLiteral("0.8€");
    SaveResult r = saveSettingsFile(t, QString(), gerber);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, QStringLiteral("行5の穴径に保存できない文字が含まれています：「€」"));
    EXPECT_EQ(readAll(ini), QByteArray("old"));
    t.row(2).dcode = QStringLiteral("T3");
    t.row(2).sign1 = QString(QChar(0x2212)); // a minus sign as copied text gives it
    r = saveSettingsFile(t, QString(), gerber);
    EXPECT_EQ(r.error, QStringLiteral("行3（T3）の公差1の符号に保存できない文字が含まれています：「−」"));
    t.row(2).sign1 = QStringLiteral("－");

    // Only the characters that cannot be saved are quoted, each once; one outside the BMP whole.
    r = saveSettingsFile(t, QStringLiteral("KT-€01 基板 😀 €"), gerber);
    EXPECT_EQ(r.error, QStringLiteral("製品コードに保存できない文字が含まれています：「€」「😀」"));
    t.row(4).diameter = QString(40000, QChar(0x3042)); // 80000 bytes: no record holds it
    r = saveSettingsFile(t, QString(), gerber);
    EXPECT_EQ(r.error, QStringLiteral("行5の穴径が65535バイトを超えるため保存できません。"));
    EXPECT_EQ(readAll(ini), QByteArray("old"));

    r = saveSettingsFile(HoleTable(), QString(), QStringLiteral("/nonexistent/folder/top.gbr"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error,
        QStringLiteral("設定ファイル/nonexistent/folder/KIVOTREK.INIを保存できませんでした。")
            + test::reason(ENOENT));

    r = saveSettingsFile(HoleTable(), QString(), QString());
    EXPECT_TRUE(r.path.isEmpty());
    EXPECT_FALSE(r.ok);
}

TEST(SettingsFile, ReadOnlyFolderIsRefused)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    test::Scratch dir;
    const QString ini = dir.write(QStringLiteral("KIVOTREK.INI"), "old");
    QFile::setPermissions(dir.path(QString()), QFile::ReadOwner | QFile::ExeOwner);
    const SaveResult r = saveSettingsFile(HoleTable(), QString(), dir.path(QStringLiteral("top.gbr")));
    QFile::setPermissions(dir.path(QString()), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error,
        QStringLiteral("設定ファイル") + ini + QStringLiteral("を保存できませんでした。")
            + test::reason(EACCES));
    EXPECT_EQ(readAll(ini), QByteArray("old"));
}
