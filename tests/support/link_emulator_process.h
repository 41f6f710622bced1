#pragma once
// Runs the board emulator program for end-to-end tests: starts it with the
// test's configuration folder, waits for its ready line and stops it again.
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <chrono>
#include <thread>

namespace px316t::testing {

class EmulatorProcess {
public:
    // `program` is the emulator's path, `configHome` the XDG_CONFIG_HOME in
    // which it registers its comN link.
    EmulatorProcess(const QString& program, const QString& configHome, const QStringList& arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
        process.setProcessEnvironment(env);
        process.setProgram(program);
        process.setArguments(arguments);
        process.start();
        ready = waitForLine(QRegularExpression(QStringLiteral("COM(\\d+) on (\\S+)")), 5000);
        if (ready) {
            com = match.captured(1).toInt();
            device = match.captured(2);
        }
    }
    ~EmulatorProcess() { stop(); }
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    // SIGTERM, as an operator's Ctrl+C would; the emulator removes its link.
    void stop()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(2000);
        }
    }

    // Waits (blocking a few ms at a time) for an output line matching `pattern`.
    bool waitForLine(const QRegularExpression& pattern, int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            while (process.canReadLine()) {
                const QString line = QString::fromLocal8Bit(process.readLine()).trimmed();
                output << line;
                match = pattern.match(line);
                if (match.hasMatch())
                    return true;
            }
            if (process.state() == QProcess::NotRunning && !process.canReadLine())
                return false;
            process.waitForReadyRead(20);
        }
        return false;
    }

    QProcess process;
    bool ready = false;
    int com = 0;
    QString device;
    QStringList output;
    QRegularExpressionMatch match;
};

} // namespace px316t::testing
