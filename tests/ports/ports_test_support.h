// SPDX-License-Identifier: MIT
#pragma once

#include "commands/cli.h"
#include "shared/clock.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <sstream>
#include <vector>

struct CliOutcome {
    int code = -1;
    QString out;
    QString err;
};

// The whole tool in-process, on the test's clock.
inline CliOutcome runCli(const QStringList &args, bexen::ports::Clock &clock,
                         std::function<bool()> stopWhen = {})
{
    bexen::ports::Args list;
    for (const QString &a : args)
        list.push_back(a.toStdString());
    std::ostringstream out;
    std::ostringstream err;
    CliOutcome o;
    o.code = bexen::ports::runTool(list, out, err, clock, std::move(stopWhen));
    o.out = QString::fromStdString(out.str());
    o.err = QString::fromStdString(err.str());
    return o;
}

// What is wrong with the tool's answer to a command line it must refuse, or nothing: exit status
// 2, one line on stderr holding `error`, nothing on stdout.
inline QString refusalFault(const CliOutcome &o, const QString &error)
{
    if (o.code != 2)
        return QString("exit status %1, stderr: %2").arg(o.code).arg(o.err);
    if (!o.err.contains(error))
        return "stderr: " + o.err;
    if (o.err.count(QLatin1Char('\n')) != 1 || !o.err.endsWith(QLatin1Char('\n')))
        return "not one line: " + o.err;
    if (!o.out.isEmpty())
        return "stdout: " + o.out;
    return {};
}

// A byte written to a port at a moment of a run.
struct TimedWrite {
    std::chrono::milliseconds at;
    std::int32_t port;
    std::uint8_t value;
    bool operator==(const TimedWrite &) const = default;
};

// "160=2@1000 162=2@1000 ...": the first `count` writes.
inline QString writesText(const std::vector<TimedWrite> &writes,
                          std::size_t count = static_cast<std::size_t>(-1))
{
    QStringList parts;
    for (std::size_t i = 0; i < std::min(count, writes.size()); ++i)
        parts << QString("%1=%2@%3").arg(writes[i].port).arg(writes[i].value).arg(writes[i].at.count());
    return parts.join(' ');
}

// The writes of a text as writesText makes it.
inline std::vector<TimedWrite> parseWrites(const QString &text)
{
    std::vector<TimedWrite> writes;
    for (const QString &part : text.split(' ', Qt::SkipEmptyParts)) {
        const QStringList f = part.split(QRegularExpression("[=@]"));
        writes.push_back({std::chrono::milliseconds(f[2].toInt()), f[0].toInt(),
                          static_cast<std::uint8_t>(f[1].toInt())});
    }
    return writes;
}

// The emulator and the panel at work during a run: port writes due at chosen moments, each made
// once, at the first step of the clock that reaches its time.
class WriteTimeline {
public:
    explicit WriteTimeline(std::vector<TimedWrite> writes)
        : m_writes(std::move(writes))
    {
    }
    template<typename Write>
    void apply(std::chrono::milliseconds now, Write write)
    {
        while (m_next < m_writes.size() && m_writes[m_next].at <= now) {
            write(m_writes[m_next].port, m_writes[m_next].value);
            ++m_next;
        }
    }
    bool done() const { return m_next == m_writes.size(); }

private:
    std::vector<TimedWrite> m_writes;
    std::size_t m_next = 0;
};

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The built executable, for the tests that run it as a user does: CTest names it, and a test run
// by hand from its build directory finds it beside.
inline QString portsToolPath()
{
    QString tool = qEnvironmentVariable("BEXEN_PORTS_TOOL");
    if (!tool.isEmpty())
        return tool;
    return QCoreApplication::applicationDirPath() + "/../../tools/ports/bexen-ports";
}
