#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QThread>
#include <memory>

#include "cli/readers.h"

namespace kivotrek {
class HoleTable;
class JsonWriter;
struct HoleTotals;
} // namespace kivotrek

namespace kivotrek::cli {

// Exit statuses of kivotrek-cli.
enum Exit : int {
    kDone = 0,
    kIncomplete = 1, // the hole table check failed: nothing written
    kStopped = 2, // read rejected or ended by a fault
    kUnreadable = 3, // a file could not be read
    kFindings = 5, // check: the drill checks found something
    kUsage = 64, // bad usage
};

int usageError(const QString& text);

// A thread that is joined on every way out. A QThread, not a std::thread: Qt keeps data for
// every thread that uses its objects, and cleans it up only for threads of its own.
class JoiningThread {
public:
    template <typename F> explicit JoiningThread(F f) : t_(QThread::create(std::move(f))) { t_->start(); }
    ~JoiningThread() { join(); }
    void join() { t_->wait(); }

private:
    std::unique_ptr<QThread> t_;
};

// Writes to standard output. A failed or short write is remembered: the command then ends with
// standardOutputStatus's message and status 3.
void printOut(QByteArrayView bytes);
// Notes, before anything is written, how large standard output is when it is a regular file.
void noteStandardOutput();
// Flushes standard output: the command's status when everything reached it, else 3 after a
// message that names standard output and why (a regular file is cut back to what it held).
int standardOutputStatus(int status);

int runRead(const QStringList& args);
int runRender(const QStringList& args, int& argc, char** argv);
int runSettings(const QStringList& args);
int runHoles(const QStringList& args);
int runReport(const QStringList& args);
int runCheck(const QStringList& args);

// "totals": {"th", "nth", "other", "all"}, as read and report print them.
void writeTotals(JsonWriter& json, const HoleTotals& totals);

struct RenderOptions {
    ReaderChoice reader;
    QString settings;
    bool preview = false;
    bool page = false;
    QString pageSize;
    int dpi = 600;
    QString productCode; // from --product-code, else from the settings file
    bool productCodeGiven = false; // --product-code wins over the settings file
    bool counts = false; // --counts: each legend cell's count, and the totals on the page
    bool marks = false; // --symbols: each row's own mark, for black-and-white printing
    QString out;
    BoardArguments input; // the drill files and the outline
};

// Returns 0, or the exit status of a usage error (after printing it).
int parseRenderOptions(const QStringList& args, RenderOptions& o);

// Loads a settings file into the table and the product code; returns 0 or the exit status
// after printing why. Where it does not fit the readRows rows the read filled, said hears how
// (a line that says so, then a line a difference), and the settings are loaded all the same.
int loadSettingsInto(
    const QString& path, int readRows, HoleTable& table, QString& productCode, const MessageSink& said);

// The messages of a command, a line each on stderr.
MessageSink stderrSink();

// What report and check take: the reader, the files, --settings INI and one of --csv / --json.
struct TableArguments {
    ReaderChoice choice;
    BoardArguments given;
    QString settings;
    bool json = false;
};
// Parses them (after the command's own options are taken out): 0, or the exit status of a
// usage error after printing it; an output redirected into an input is refused (3).
int parseTableArguments(const char* command, const QStringList& args, TableArguments& a);
// Reads the board as read does and loads the settings file when one is given: 0, or the status
// to end with (a read that filled no row, a settings file that cannot be read).
int readTableBoard(const TableArguments& a, HoleTable& table, BoardExtent& extent, ReadOutcome& read);

// Ends the process with the exit status once every output is written and closed, without
// tearing down the GUI application, Qt and the libraries: the system frees all of it faster
// (a few milliseconds of a short batch run). Builds with sanitizers return the status instead,
// so that the full teardown and the leak check still run.
int finish(int status);

} // namespace kivotrek::cli
