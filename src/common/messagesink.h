#pragma once

#include <QString>
#include <functional>

namespace kivotrek {

// Core code never opens a window: each text a command would show in a message box goes
// through a sink, in order. The window shows it in an OK box, the command line prints it,
// tests record it.
using MessageSink = std::function<void(const QString&)>;

} // namespace kivotrek
