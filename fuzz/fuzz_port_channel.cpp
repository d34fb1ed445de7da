// SPDX-License-Identifier: MIT
// libFuzzer target over the port file channel and the tick. An input is the port file's first
// contents followed by a short list of operations: the panel's reads, writes and ticks, and the
// emulator's side writing, truncating or replacing the file between them. A model of the file
// follows along, and after every operation the file on disk must equal it:
//  - a read returns the stored byte, or 0 where no byte is stored;
//  - the panel changes only byte 50, and the file becomes the larger of its old length and 51;
//  - anything but a regular file of ours at the name is never written, nor what a link names.
//
// Input layout (every byte optional; a missing byte reads as 0):
//   [first length L, 255 = no file] [L bytes of contents] then operations, each an opcode byte
//   followed by its arguments (see Op).

#include "junction_facts.h"
#include "poll_cycle.h"
#include "port_channel.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace bexen;

constexpr std::size_t kMaxOperations = 48;
constexpr std::uint8_t kNoFile = 255;
constexpr std::size_t kSensorOffset = 50;

enum class Op : std::uint8_t {
    Read, // port selector: 90 + n, or one of the extreme ports
    Tick, // the four check boxes, two bits each (0 cleared, 1 ticked, 2 greyed)
    WriteSensor, // value: WRITE_IO_BYTE(150, value) as the tick does
    EmulatorWrite, // offset, value: the emulator stores a byte of its own
    EmulatorTruncate, // length
    Replace, // kind, and for a regular file a length and its bytes
};
constexpr std::uint8_t kOpCount = 6;

enum class Kind : std::uint8_t { Missing, Regular, Directory, Fifo, SymbolicLink, HardLink };

// What each kind looks like to lstat(); in the order of Kind. Links 0: any count.
struct KindRow {
    Kind kind;
    mode_t type;
    nlink_t links;
    const char *description;
};
constexpr KindRow kKindRows[] = {
    {Kind::Missing, 0, 0, "missing"},
    {Kind::Regular, S_IFREG, 1, "a regular file with one link"},
    {Kind::Directory, S_IFDIR, 0, "a directory"},
    {Kind::Fifo, S_IFIFO, 0, "a FIFO"},
    {Kind::SymbolicLink, S_IFLNK, 0, "a symbolic link"},
    {Kind::HardLink, S_IFREG, 2, "the sentinel's second link"},
};
constexpr auto kKindCount = static_cast<std::uint8_t>(std::size(kKindRows));
static_assert([] {
    for (std::uint8_t i = 0; i < kKindCount; ++i)
        if (kKindRows[i].kind != static_cast<Kind>(i))
            return false;
    return true;
}());

[[noreturn]] void fail(const std::string &what)
{
    std::fprintf(stderr, "port file check failed: %s\n", what.c_str());
    std::abort();
}

// Reads the fuzzer's bytes in order; past the end every byte is 0.
class Input {
public:
    Input(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) { }
    bool atEnd() const { return m_pos >= m_size; }
    std::uint8_t next() { return m_pos < m_size ? m_data[m_pos++] : 0; }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

struct Paths {
    std::string dir; // the private temporary directory, TMPDIR for the channel
    std::string portFile;
    std::string sentinel; // what the links at the name point to
};

constexpr std::array<std::uint8_t, 64> sentinelBytes()
{
    std::array<std::uint8_t, 64> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
    return bytes;
}
constexpr auto kSentinel = sentinelBytes();

Paths &paths()
{
    static Paths p;
    return p;
}

std::vector<std::uint8_t> fileBytes(const std::string &path)
{
    std::vector<std::uint8_t> bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail(path + ": cannot be read back: " + std::strerror(errno));
    std::uint8_t buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    ::close(fd);
    return bytes;
}

void writeWholeFile(const std::string &path, const std::vector<std::uint8_t> &bytes)
{
    const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0
        || (!bytes.empty() && ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())))
        fail(path + ": cannot be set up: " + std::strerror(errno));
    ::close(fd);
}

// What the name should hold after every operation.
struct Model {
    Kind kind = Kind::Missing;
    std::vector<std::uint8_t> bytes; // for a regular file

    bool writable() const { return kind == Kind::Regular || kind == Kind::Missing; }

    std::uint8_t stored(std::int64_t port) const
    {
        if (kind != Kind::Regular || port < io::kFirstPort)
            return 0;
        const auto offset = static_cast<std::size_t>(port - io::kFirstPort);
        return offset < bytes.size() ? bytes[offset] : 0;
    }

    // The panel's open creates a missing file, empty.
    void opened()
    {
        if (kind == Kind::Missing) {
            kind = Kind::Regular;
            bytes.clear();
        }
    }

    void panelWrote(std::uint8_t sensorByte)
    {
        if (!writable())
            return;
        opened();
        if (bytes.size() < kSensorOffset + 1)
            bytes.resize(kSensorOffset + 1, 0);
        bytes[kSensorOffset] = sensorByte;
    }
};

void removeName()
{
    std::error_code ignored;
    fs::remove(paths().portFile, ignored); // a link goes, never what it names
}

void place(Model &model, Kind kind, std::vector<std::uint8_t> bytes)
{
    removeName();
    const std::string &name = paths().portFile;
    int rc = 0;
    switch (kind) {
    case Kind::Missing: break;
    case Kind::Regular: writeWholeFile(name, bytes); break;
    case Kind::Directory: rc = ::mkdir(name.c_str(), 0700); break;
    case Kind::Fifo: rc = ::mkfifo(name.c_str(), 0600); break;
    case Kind::SymbolicLink: rc = ::symlink(paths().sentinel.c_str(), name.c_str()); break;
    case Kind::HardLink: rc = ::link(paths().sentinel.c_str(), name.c_str()); break;
    }
    if (rc != 0)
        fail(name + ": cannot be set up: " + std::strerror(errno));
    model.kind = kind;
    model.bytes = kind == Kind::Regular ? std::move(bytes) : std::vector<std::uint8_t>{};
}

// The disk against the model, and the sentinel against its contents.
void checkDisk(const Model &model, const char *after)
{
    const std::string &name = paths().portFile;
    struct stat st{};
    const bool exists = ::lstat(name.c_str(), &st) == 0;
    const KindRow &row = kKindRows[static_cast<std::size_t>(model.kind)];
    const bool right = model.kind == Kind::Missing
            ? !exists
            : exists && (st.st_mode & S_IFMT) == row.type
                    && (row.links == 0 || st.st_nlink == row.links);
    if (!right)
        fail(name + " should be " + row.description + " and is not, after " + after);

    if (model.kind == Kind::Regular) {
        const std::vector<std::uint8_t> actual = fileBytes(name);
        if (actual.size() != model.bytes.size())
            fail(name + " is " + std::to_string(actual.size()) + " bytes long, expected "
                 + std::to_string(model.bytes.size()) + ", after " + after);
        for (std::size_t i = 0; i < actual.size(); ++i) {
            if (actual[i] != model.bytes[i])
                fail(name + ": byte " + std::to_string(i) + " is " + std::to_string(actual[i])
                     + ", expected " + std::to_string(model.bytes[i]) + ", after " + after);
        }
    }
    if (model.kind == Kind::Directory && !fs::is_empty(name))
        fail(name + ": something was made inside the directory, after " + after);

    const std::vector<std::uint8_t> sentinel = fileBytes(paths().sentinel);
    if (sentinel.size() != kSentinel.size()
        || !std::equal(sentinel.begin(), sentinel.end(), kSentinel.begin()))
        fail(paths().sentinel + " was changed through the port file's name, after " + after);
}

// The window as the tick sees it: texts kept as shown, check boxes set by the input.
class FuzzPanel final : public poll::PanelControls {
public:
    void setText(poll::TextBox box, std::string_view text) override
    {
        m_texts[static_cast<std::size_t>(box)] = std::string(text);
    }
    int checkValue(int index) const override { return checks[static_cast<std::size_t>(index)]; }
    void showLegendPicture(int image18, int image11) override
    {
        if (image18 < 0 || image18 > 3 || image11 < 0 || image11 >= junction::kLightValues)
            fail("picture " + std::to_string(image11) + " shown in Image18("
                 + std::to_string(image18) + ")");
        pictures[static_cast<std::size_t>(image18)] = image11;
    }
    const std::string &text(poll::TextBox box) const
    {
        return m_texts[static_cast<std::size_t>(box)];
    }

    std::array<int, 4> checks{};
    std::array<int, 4> pictures{};

private:
    std::array<std::string, 5> m_texts;
};

void checkTick(const FuzzPanel &panel, const Model &before)
{
    // The value boxes and lights, light by light: port, value box, state image.
    struct LightRow {
        std::int32_t port;
        poll::TextBox box;
        int stateImage;
    };
    constexpr LightRow kLights[] = {
        {160, poll::TextBox::Text4, 1},
        {161, poll::TextBox::Text3, 2},
        {162, poll::TextBox::Text2, 3},
        {163, poll::TextBox::Text5, 0},
    };
    for (const LightRow &light : kLights) {
        const std::uint8_t byte = before.stored(light.port);
        if (panel.text(light.box) != std::to_string(byte))
            fail("port " + std::to_string(light.port) + " holds " + std::to_string(byte)
                 + " but its box shows \"" + panel.text(light.box) + "\"");
        const int state = byte <= 4 ? byte : 0;
        if (panel.pictures[static_cast<std::size_t>(light.stateImage)] != state)
            fail("port " + std::to_string(light.port) + " holds " + std::to_string(byte)
                 + " but its light shows state "
                 + std::to_string(panel.pictures[static_cast<std::size_t>(light.stateImage)]));
    }
}

std::int32_t portFrom(std::uint8_t selector)
{
    switch (selector) {
    case 255: return INT32_MIN;
    case 254: return INT32_MAX;
    case 253: return INT32_MIN + 99;
    default: return 90 + selector; // a few below the file, the rest in and beyond it
    }
}

void runOperation(Input &in, Model &model, FuzzPanel &panel, poll::TickMembers &members)
{
    const auto op = static_cast<Op>(in.next() % kOpCount);
    switch (op) {
    case Op::Read: {
        const std::int32_t port = portFrom(in.next());
        const std::uint8_t value = io::READ_IO_BYTE(port);
        if (port >= io::kFirstPort && model.writable())
            model.opened();
        const std::uint8_t expected = model.stored(port);
        if (value != expected)
            fail("port " + std::to_string(port) + " read " + std::to_string(value) + ", stored "
                 + std::to_string(expected));
        checkDisk(model, "a read");
        break;
    }
    case Op::Tick: {
        const std::uint8_t boxes = in.next();
        std::uint8_t sensorByte = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            panel.checks[k] = ((boxes >> (2 * k)) & 3) % 3;
            sensorByte |= static_cast<std::uint8_t>((panel.checks[k] != 0) << k);
        }
        Model before = model;
        if (before.writable())
            before.opened();
        poll::PortFileAccess ports;
        poll::runTick(panel, ports, members);
        checkTick(panel, before);
        model.panelWrote(sensorByte);
        checkDisk(model, "a tick");
        break;
    }
    case Op::WriteSensor: {
        const std::uint8_t value = in.next();
        io::WRITE_IO_BYTE(junction::kSensorPort, value);
        model.panelWrote(value);
        checkDisk(model, "a write of port 150");
        break;
    }
    case Op::EmulatorWrite: {
        const std::uint8_t offset = in.next();
        const std::uint8_t value = in.next();
        if (model.kind == Kind::Regular) {
            const int fd = ::open(paths().portFile.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0 || ::pwrite(fd, &value, 1, offset) != 1)
                fail("the emulator's write failed: " + std::string(std::strerror(errno)));
            ::close(fd);
            if (model.bytes.size() <= offset)
                model.bytes.resize(std::size_t(offset) + 1, 0);
            model.bytes[offset] = value;
        }
        break;
    }
    case Op::EmulatorTruncate: {
        const std::uint8_t length = in.next();
        if (model.kind == Kind::Regular) {
            if (::truncate(paths().portFile.c_str(), length) != 0)
                fail("the emulator's truncation failed: " + std::string(std::strerror(errno)));
            model.bytes.resize(length, 0);
        }
        break;
    }
    case Op::Replace: {
        const auto kind = static_cast<Kind>(in.next() % kKindCount);
        std::vector<std::uint8_t> bytes;
        if (kind == Kind::Regular) {
            const std::uint8_t length = in.next();
            for (int i = 0; i < length && !in.atEnd(); ++i)
                bytes.push_back(in.next());
        }
        place(model, kind, std::move(bytes));
        break;
    }
    }
}

void removePrivateDirectory()
{
    std::error_code ignored;
    fs::remove_all(paths().dir, ignored);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // A directory of our own, made the temporary directory: the channel finds the port file there.
    const char *base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/bexen-fuzz-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr)
        fail(tmpl + ": cannot make the private directory: " + std::strerror(errno));
    Paths &p = paths();
    p.dir = tmpl;
    p.portFile = p.dir + "/" + std::string(io::kPortFileName);
    ::mkdir((p.dir + "/elsewhere").c_str(), 0700);
    p.sentinel = p.dir + "/elsewhere/sentinel.dat";
    ::setenv("TMPDIR", p.dir.c_str(), 1);
    std::atexit(removePrivateDirectory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    writeWholeFile(paths().sentinel, {kSentinel.begin(), kSentinel.end()});

    Input in(data, size);
    Model model;
    const std::uint8_t firstLength = in.next();
    if (firstLength == kNoFile) {
        place(model, Kind::Missing, {});
    } else {
        std::vector<std::uint8_t> first;
        for (int i = 0; i < firstLength && !in.atEnd(); ++i)
            first.push_back(in.next());
        place(model, Kind::Regular, std::move(first));
    }

    FuzzPanel panel;
    poll::TickMembers members;
    for (std::size_t n = 0; n < kMaxOperations && !in.atEnd(); ++n)
        runOperation(in, model, panel, members);
    checkDisk(model, "the last operation");
    removeName();
    return 0;
}
