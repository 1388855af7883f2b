#include "core/support/MessageHandler.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray text = message.toLocal8Bit();
    // glibc prints "(null)" for a null %s, but that is not portable: spell it out.
    const char *file = context.file ? context.file : "(null)";
    const char *function = context.function ? context.function : "(null)";
    const unsigned line = static_cast<unsigned>(context.line);

    switch (type) {
    case QtDebugMsg:
        std::fprintf(stdout, "Debug: %s (%s:%u, %s)\n", text.constData(), file, line, function);
        break;
    case QtInfoMsg:
        std::fprintf(stdout, "Info: %s (%s:%u, %s)\n", text.constData(), file, line, function);
        break;
    case QtWarningMsg:
        std::fprintf(stderr, "Warning: %s (%s:%u, %s)\n", text.constData(), file, line, function);
        break;
    case QtCriticalMsg:
        std::fprintf(stderr, "Critical: %s (%s:%u, %s)\n", text.constData(), file, line, function);
        break;
    case QtFatalMsg:
        std::fprintf(stderr, "Fatal: %s (%s:%u, %s)\n", text.constData(), file, line, function);
        std::abort();
    }
    std::fflush(stderr);
    std::fflush(stdout);
}
