#pragma once

#include "common/messagesink.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace kivotrek {

// What a row's holes are: a value of its own. The settings file, the drill list and the batch
// command write it by its fixed name, the table and the legend show its caption, which is never
// stored nor compared. A kind typed that is none of these is kept as it was typed.
class HoleKind {
public:
    enum Value { None, Plated, NonPlated, Outline, Typed };

    HoleKind() = default;
    HoleKind(Value value) : value_(value) { } // any but Typed, which only named() and captioned() make

    // The kind whose fixed name this is ("", "TH", "NTH", "外形", exactly); any other text as typed.
    static HoleKind named(const QString& name);
    // The kind whose caption was typed into the table; any other text as typed.
    static HoleKind captioned(const QString& text);

    Value value() const { return value_; }
    // "", "TH", "NTH", "外形", whatever the captions say; or the text typed.
    QString name() const;
    // What the table's box and the legend show; or the text typed.
    QString caption() const;

    friend bool operator==(const HoleKind& a, const HoleKind& b)
    {
        return a.value_ == b.value_ && a.typed_ == b.typed_;
    }
    friend bool operator!=(const HoleKind& a, const HoleKind& b) { return !(a == b); }
    // Whether the kind is this one; for Typed, whether it is any kind typed.
    friend bool operator==(const HoleKind& a, Value b) { return a.value_ == b; }
    friend bool operator!=(const HoleKind& a, Value b) { return a.value_ != b; }

private:
    // The kind whose text of textOf() this is, else the text as typed.
    static HoleKind ofText(const QString& text, QString (*textOf)(Value));

    Value value_ = None;
    QString typed_; // the text of a Typed kind
};

// One hole class: the D-code that draws it and what the legend says about it.
struct HoleRow {
    QString dcode = QStringLiteral("D"); // "D" alone marks a free row
    QString diameter; // free text; consumers use the number at its start
    QString sign1; // first tolerance: its sign and value
    QString tol1;
    QString sign2; // second tolerance: its sign and value
    QString tol2;
    HoleKind kind;
    uint32_t color = 0; // FillColor: 0x00BBGGRR, red in the low byte

    bool isUsed() const { return dcode.size() > 1; }
    friend bool operator==(const HoleRow& a, const HoleRow& b)
    {
        return a.dcode == b.dcode && a.diameter == b.diameter && a.sign1 == b.sign1 && a.tol1 == b.tol1
            && a.sign2 == b.sign2 && a.tol2 == b.tol2 && a.kind == b.kind && a.color == b.color;
    }
    friend bool operator!=(const HoleRow& a, const HoleRow& b) { return !(a == b); }
};

// Colour value with red in the low byte, as the swatches and the settings file hold it.
constexpr uint32_t fillColor(int r, int g, int b)
{
    return static_cast<uint32_t>(r & 0xFF) | static_cast<uint32_t>(g & 0xFF) << 8
        | static_cast<uint32_t>(b & 0xFF) << 16;
}

class HoleTable {
public:
    static constexpr int kRows = 63;
    static constexpr int kRowsPerPage = 21;

    HoleTable(); // start-up state: every row free, initial colours

    HoleRow& row(int i) { return rows_.at(static_cast<size_t>(i)); }
    const HoleRow& row(int i) const { return rows_.at(static_cast<size_t>(i)); }

    // Clears the D-codes and diameters for a new Gerber file; tolerances, kinds and colours stay.
    void clear();

    // Takes rows first .. first + count - 1 out: the rows after them move up with all their
    // values, and the rows freed at the end are as at start-up.
    void removeRows(int first, int count);

    friend bool operator==(const HoleTable& a, const HoleTable& b) { return a.rows_ == b.rows_; }
    friend bool operator!=(const HoleTable& a, const HoleTable& b) { return !(a == b); }

    // Reports every used row without a diameter, or whose diameter the drawing cannot read as a
    // number (none at its start, or a comma: "abc", "0,2"), in row order; true when there is none.
    bool check(const MessageSink& sink) const;
    // Only the diameters that are no numbers, as printing checks them (printing draws a row
    // without a diameter as the smallest hole).
    bool checkNumbers(const MessageSink& sink) const;

    // Rows counted for the legend strip: the index of the first row with an empty diameter.
    int rowsWithDiameter() const;

    static uint32_t initialColor(int i);
    static QStringList signChoices();
    // A typed tolerance sign as the list writes it: "-", "−" (U+2212, what most input methods and
    // copied text give) and "‐" (U+2010) become "－", "+" becomes "＋"; anything else stays.
    static QString listSign(const QString& typed);
    static QStringList valueChoices(int i); // nine choices on rows 0-41, eight on 42-62
    // The tolerance signs, as the table lists them and the settings file stores them.
    static QString plusMinusSign(); // "±"
    static QString minusSign(); // "－" (U+FF0D, as code page 932 writes it)
    static QString plusSign(); // "＋"
    static QStringList kindChoices(); // the captions of the kinds: TH, NTH, the outline's

private:
    std::array<HoleRow, kRows> rows_;
};

// Fills D-codes into the table from row 0 up during one read.
class DCodeFiller {
public:
    enum class Result { Present, Added, Full };

    explicit DCodeFiller(HoleTable& table) : table_(table) { }

    // Adds the D-code to the next free row unless a row up to that one already holds it
    // (exact, case-sensitive). With a diameter the new row takes it too.
    Result add(const QString& dcode, const QString* diameter = nullptr);

    int nextFree() const { return next_; }

private:
    HoleTable& table_;
    int next_ = 0;
};

} // namespace kivotrek
