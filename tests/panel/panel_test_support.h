// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QtTest>

// Every panel test runs against a port file of its own: TMPDIR points at a private directory,
// so the real emu_port.dat of the machine is never touched.
class PrivatePortDir {
public:
    PrivatePortDir()
    {
        qputenv("TMPDIR", m_dir.path().toLocal8Bit());
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    }

    bool isValid() const { return m_dir.isValid(); }
    QString portFile() const { return QDir(m_dir.path()).filePath(QStringLiteral("emu_port.dat")); }

    void removePortFile() const { QFile::remove(portFile()); }

    // Writes the byte of one port straight into the file, as the emulator would.
    bool poke(int port, int value) const
    {
        QFile file(portFile());
        if (!file.open(QIODevice::ReadWrite))
            return false;
        if (!file.seek(port - 100))
            return false;
        const char byte = static_cast<char>(value);
        return file.write(&byte, 1) == 1;
    }

    // The byte of one port, or -1 when the file has none there.
    int peek(int port) const
    {
        QFile file(portFile());
        if (!file.open(QIODevice::ReadOnly) || file.size() <= port - 100)
            return -1;
        file.seek(port - 100);
        char byte = 0;
        if (file.read(&byte, 1) != 1)
            return -1;
        return static_cast<unsigned char>(byte);
    }

private:
    QTemporaryDir m_dir;
};
