#pragma once

#include "common/diagnostic.h"

#include <QString>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace kivotrek {

// Core code never opens a window: each diagnostic a command has goes through a sink, in order.
// The main window lists it (and shows an error in a box), the batch command prints its text,
// tests record it.
//
// A sink is made from a function of a Diagnostic, or of its text alone (the batch command, most
// tests: they get each text as before). A text said without more is a warning of no file: it
// was worth a message box; the places that know better say information or error, and the file
// and line.
class MessageSink {
public:
    MessageSink() = default;
    MessageSink(std::nullptr_t) { }
    MessageSink(const MessageSink&) = default;
    MessageSink(MessageSink&&) noexcept = default;
    MessageSink& operator=(const MessageSink&) = default;
    MessageSink& operator=(MessageSink&&) noexcept = default;

    template <typename F,
        std::enable_if_t<!std::is_same_v<std::decay_t<F>,
                             MessageSink> && std::is_invocable_v<std::decay_t<F>&, const Diagnostic&>,
            int> = 0>
    MessageSink(F&& receive)
    {
        if (isSet(receive))
            receive_ = std::forward<F>(receive);
    }
    template <typename F,
        std::enable_if_t<
            !std::is_same_v<std::decay_t<F>,
                MessageSink> && !std::is_invocable_v<std::decay_t<F>&, const Diagnostic&> && std::is_invocable_v<std::decay_t<F>&, const QString&>,
            int> = 0>
    MessageSink(F&& receive)
    {
        if (isSet(receive))
            receive_ = [text = std::decay_t<F>(std::forward<F>(receive))](
                           const Diagnostic& d) mutable { text(d.text); };
    }

    explicit operator bool() const { return bool(receive_); }

    void operator()(const Diagnostic& d) const
    {
        if (receive_)
            receive_(d);
    }
    void operator()(const QString& text) const { operator()(Diagnostic {Severity::Warning, {}, {}, text}); }

    void information(const QString& text, const QString& file = {}, std::optional<qint64> line = {}) const
    {
        operator()(Diagnostic {Severity::Information, file, line, text});
    }
    void warning(const QString& text, const QString& file = {}, std::optional<qint64> line = {}) const
    {
        operator()(Diagnostic {Severity::Warning, file, line, text});
    }
    void error(const QString& text, const QString& file = {}, std::optional<qint64> line = {}) const
    {
        operator()(Diagnostic {Severity::Error, file, line, text});
    }

private:
    // An empty std::function given as a sink is no sink.
    template <typename F> static bool isSet(const F& f)
    {
        if constexpr (std::is_constructible_v<bool, const F&>)
            return static_cast<bool>(f);
        else
            return true;
    }

    std::function<void(const Diagnostic&)> receive_;
};

} // namespace kivotrek
