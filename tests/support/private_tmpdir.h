// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

// A temporary directory of the test's own, made the process's TMPDIR for as long as it lives, so
// the port file of a real session in /tmp is never touched.
class PrivateTmpDir {
public:
    PrivateTmpDir()
        : m_hadTmpDir(qEnvironmentVariableIsSet("TMPDIR")), m_oldTmpDir(qgetenv("TMPDIR"))
    {
        qputenv("TMPDIR", m_dir.path().toLocal8Bit());
    }
    ~PrivateTmpDir()
    {
        if (m_hadTmpDir)
            qputenv("TMPDIR", m_oldTmpDir);
        else
            qunsetenv("TMPDIR");
    }
    PrivateTmpDir(const PrivateTmpDir &) = delete;
    PrivateTmpDir &operator=(const PrivateTmpDir &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString portFile() const { return filePath(QStringLiteral("emu_port.dat")); }
    std::string portFileStd() const { return portFile().toStdString(); }

    QByteArray portBytes() const
    {
        QFile f(portFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool writePortBytes(const QByteArray &bytes) const
    {
        QFile f(portFile());
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }

private:
    QTemporaryDir m_dir;
    bool m_hadTmpDir;
    QByteArray m_oldTmpDir;
};
