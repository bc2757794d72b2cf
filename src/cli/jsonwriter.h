#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

namespace kivotrek {

// A small streaming JSON writer: the command line prints numbers exactly as it wants them
// (a float's shortest text, for one), which a DOM would turn into doubles.
class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    JsonWriter& key(const char* name);
    JsonWriter& value(const QString& text);
    JsonWriter& value(long long number);
    JsonWriter& value(float number); // shortest text that reads back as the same float
    JsonWriter& value(double number); // shortest text that reads back as the same double
    JsonWriter& null();

    const QByteArray& data() const { return out_; }
    // Writes the document and a line feed to standard output.
    void print() const;

private:
    void separate();
    // The shortest text that reads back as the same number.
    template <typename Number> JsonWriter& shortest(Number number);
    QByteArray out_;
    std::vector<bool> first_; // per open container: nothing written in it yet
    bool afterKey_ = false;
};

} // namespace kivotrek
