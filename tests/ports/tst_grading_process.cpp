// SPDX-License-Identifier: MIT
// `bexen-ports test` as an autograder runs it: the controller a shell script started with `--`,
// writing the port file through bexen-ports set, as an emulated program would; every wait with a
// watchdog. These run in real time, so their scenarios last two seconds at most, or are ended.

#include "port_channel.h"
#include "support/private_tmpdir.h"
#include "support/text.h"
#include "support/tool_process.h"
#include "support/xml_tree.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>

using namespace bexen::testing;

namespace {

class GradingProcess : public ::testing::Test {
protected:
    // The test command, started in the private directory.
    ToolProcess::Options inPrivateDirectory() const { return {{}, m_tmp.path()}; }

    // The controller's shell script: it notes its pid, runs `body` and then sleeps on.
    static std::string controller(const std::string &body)
    {
        return "echo $$ > controller.pid; " + replacedWord(body, "PORTS", "'" + portsToolPath() + "'")
                + "; exec sleep 30";
    }

    // Whether the controller the test started has been ended with it.
    bool controllerGone() const
    {
        const std::string text = fileBytes(m_tmp.filePath("controller.pid"));
        const pid_t pid = text.empty() ? 0 : static_cast<pid_t>(std::stoi(text));
        return pid > 0 && ::kill(pid, 0) == -1 && errno == ESRCH;
    }

    PrivateTmpDir m_tmp;

private:
    static std::string replacedWord(std::string text, const std::string &word, const std::string &by)
    {
        for (std::size_t at = 0; (at = text.find(word, at)) != std::string::npos; at += by.size())
            text.replace(at, word.size(), by);
        return text;
    }
};

} // namespace

TEST_F(GradingProcess, ControllerStartedByTheTest)
{
    struct Row {
        const char *name;
        std::string body;
        std::vector<std::string> lines; // stdout's lines hold these, in order
        int code;
    };
    const Row rows[] = {
            {"both roads green",
             "PORTS set 160 1 161 1 162 1 163 1; sleep 0.3; PORTS set 160 2 161 2; sleep 0.3; "
             "PORTS set 160 4 161 4",
             {"FAIL short: at ", " s: both roads moving: east-west light 1 (port 160) 2 red and yellow; "
                                 "north-south light 2 (port 161) 2 red and yellow",
              "0 of 2 scenarios passed; score 0 of 2"},
             3},
            // It exits a second into the first scenario, which fails at that time; the second is
            // not run.
            {"exits early", "sleep 1; exit 4",
             {"FAIL short: at ", " s: the controller exited (status 4)",
              "FAIL again: the controller exited (status 4)", "0 of 2 scenarios passed; score 0 of 2"},
             3},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        // Each row starts afresh: no port file, no controller's pid.
        std::remove(m_tmp.filePath("controller.pid").c_str());
        std::remove(m_tmp.portFile().c_str());
        ASSERT_TRUE(writeFileBytes(m_tmp.filePath("short.txt"), "duration 2\n"));
        ASSERT_TRUE(writeFileBytes(m_tmp.filePath("again.txt"), "duration 2\n"));
        ToolProcess test({"test", "short.txt", "again.txt", "--", "sh", "-c", controller(row.body)},
                         inPrivateDirectory());
        ASSERT_TRUE(test.finish()) << "the test did not end";
        const std::string out = test.out();
        std::size_t at = 0;
        for (const std::string &line : row.lines) {
            at = out.find(line, at);
            ASSERT_NE(at, std::string::npos) << line << " not in:\n" << out;
        }
        EXPECT_EQ(test.exitCode(), row.code);
        EXPECT_TRUE(controllerGone()) << "the controller outlived the test";
    }
}

TEST_F(GradingProcess, SigtermClearsTheSensorsAndWritesTheReports)
{
    // Its name, from the file's, has every character XML must escape.
    const std::string name = "a <&> \"car\"";
    ASSERT_TRUE(writeFileBytes(m_tmp.filePath(name + ".txt"), "0 car 2\nduration 30\n"));
    // On the temporary directory's port file, named, so that the test can watch the sensors.
    ToolProcess test({"--file", m_tmp.portFile(), "test", name + ".txt", "--junit", "junit.xml", "--gradescope", "results.json",
                      "--", "sh", "-c", controller("PORTS set 161 1")},
                     inPrivateDirectory());
    const auto sensors = [&] {
        return bexen::io::readPortByte(150, m_tmp.portFile(), bexen::io::WhenMissing::ReadZero).value;
    };
    ASSERT_TRUE(test.waitFor([&] { return sensors() == 2; })) << "no car came";
    test.signal(SIGTERM);
    ASSERT_TRUE(test.finish()) << "the test did not end";
    EXPECT_EQ(test.exitCode(), 3);
    EXPECT_EQ(sensors(), 0);
    EXPECT_TRUE(controllerGone());
    const std::string reason = "interrupted before the scenario's end at 30.0 s";

    std::string error;
    const auto junit = parseXml(fileBytes(m_tmp.filePath("junit.xml")), error);
    ASSERT_TRUE(junit) << error;
    std::vector<std::string> seen;
    const std::function<void(const XmlElement &)> walk = [&](const XmlElement &e) {
        if (e.name == "testsuite") {
            seen.push_back("suite " + e.attribute("tests") + " " + e.attribute("failures"));
        } else if (e.name == "testcase") {
            seen.push_back("case " + e.attribute("name"));
        } else if (e.name == "failure") {
            const std::string message = e.attribute("message");
            const std::size_t colon = message.find(": ");
            seen.push_back("failure " + (colon == std::string::npos ? message : message.substr(colon + 2)));
        }
        for (const auto &child : e.children)
            walk(*child);
    };
    walk(*junit);
    EXPECT_EQ(seen, (std::vector<std::string>{"suite 1 1", "case " + name, "failure " + reason}));

    const auto json = nlohmann::json::parse(fileBytes(m_tmp.filePath("results.json")));
    EXPECT_EQ(json.at("score").get<int>(), 0);
    const auto &tests = json.at("tests");
    ASSERT_EQ(tests.size(), 1u);
    EXPECT_EQ(tests[0].at("name").get<std::string>(), name);
    EXPECT_EQ(tests[0].at("status").get<std::string>(), "failed");
    EXPECT_EQ(tests[0].at("max_score").get<int>(), 1);
    EXPECT_TRUE(endsWith(tests[0].at("output").get<std::string>(), reason));
}
