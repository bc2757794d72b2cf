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
    JsonWriter& boolean(bool b); // true or false

    // What has been written and not yet printed.
    const QByteArray& data() const { return out_; }
    // From now on the document goes to standard output in pieces as it is written, so that a
    // list of millions of holes is never held whole; print() writes the rest.
    void streamToStandardOutput() { streamed_ = true; }
    // Writes the document (or its rest) and a line feed to standard output.
    void print();

private:
    void separate();
    // The shortest text that reads back as the same number.
    template <typename Number> JsonWriter& shortest(Number number);
    QByteArray out_;
    std::vector<bool> first_; // per open container: nothing written in it yet
    bool afterKey_ = false;
    bool streamed_ = false;
};

} // namespace kivotrek
