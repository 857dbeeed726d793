// The program's recording path end to end: the recording engine with each sign on a Qt link
// thread of its own, the port resolved through the port mapping of a scratch work folder, and
// cartel-virtual running as a process behind WORK/puertos/COMn; and the sign taken away mid-way.
#pragma once

#include <gtest/gtest.h>
#include <termios.h>

#include <QCoreApplication>
#include <atomic>
#include <functional>
#include <mutex>

#include "platform/qt_link_thread.h"
#include "settings/port_mapping.h"
#include "signlink/recording_engine.h"
#include "signlink/recording_log.h"
#include "tests/support/virtual_sign_process.h"

namespace letrador::testing {

using Lines = std::vector<std::string>;

class E2eBench {
  public:
    // cartel-virtual for port `port`, with `signArgs` (its faults). Its font: H and A plain, E with
    // a dark column inside, I with dark columns after it.
    explicit E2eBench(int port = 5, std::vector<std::string> signArgs = {})
        : sign(work.path(), port, std::move(signArgs)), portText(std::to_string(port)) {
        WriteFont(font, {{"H", {0x7F, 0x08, 0x08, 0x7F}}, {"E", {0x7F, 0x49, 0x00, 0x49, 0x41}},
                         {"A", {0x7E, 0x09, 0x09, 0x7E}}, {"I", {0x7F, 0x00, 0x00}}});
    }
    bool startSign() {
        std::string why;
        const bool ok = sign.start(&why);
        if (!ok) ADD_FAILURE() << "cartel-virtual did not start: " << why;
        return ok;
    }
    // Records `what` as the programs do and waits for the end; the log is in `view`.
    Verdict record(WhatToRecord what) {
        view.prepare();
        Verdict verdict = Verdict::Errors;
        engine.start({std::move(what), {portText}}, [&](const RecordingEvent& e) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (const auto* l = std::get_if<event::LogLine>(&e)) view.AgregarLog(l->text, l->newLine);
            if (const auto* v = std::get_if<event::SignEnded>(&e)) verdict = v->verdict;
        })->wait();
        std::lock_guard<std::mutex> lock(mutex_);
        return verdict;
    }
    // "<4>HE A" with separation 2, then "I<A>I<3>" with none; not joined, blanks of 3.
    Verdict recordTwoParagraphs(const std::string& fontPath = {}) {
        const std::string f = fontPath.empty() ? font : fontPath;
        return record(WholeMessage{{{U"<4>HE A", f, 2, false}, {U"I<A>I<3>", f, 0, false}}, false, 3});
    }

  private:
    struct AppFirst {
        AppFirst() {
            static int argc = 1;
            static char name[] = "test_e2e_sign";
            static char* argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
    } app_;

  public:
    ScratchFolder work;
    VirtualSignProcess sign;
    std::string portText;
    std::string font = (work.path() / "prueba.ffv").string();
    std::function<std::string(int)> deviceOf = [this](int n) { return PortDevicePath(work.path(), n); };
    RecordingEngine engine{platform::QtLinkThread::maker(deviceOf)};
    PlainRecordingView view;

  private:
    std::mutex mutex_;
};

// Takes the sign away in the middle of a recording, as an unplugged adapter does: a thread of
// the test watches what the virtual sign has received and, once byte `atByte` (counted from 0)
// is in, kills it (or runs `kill`: the server in front of it, say), optionally stopping the
// line's output first so that the program's next byte stays waiting to drain.
class SignLoss {
  public:
    using Clock = std::chrono::steady_clock;
    struct Plan {
        long long atByte = 0;
        std::chrono::milliseconds after{150};  // between seeing the byte and the kill
        bool stopOutput = false;               // stop the pseudo-terminal's output at the byte
    };

    SignLoss(VirtualSignProcess& sign, Plan plan, std::function<bool()> kill = {}) {
        if (!kill) kill = [&sign] { return sign.sendSignal(SIGKILL); };
        thread_ = std::thread([this, &sign, plan, kill = std::move(kill)] {
            for (const auto giveUp = Clock::now() + std::chrono::seconds(60); !sign.received(plan.atByte);
                 std::this_thread::sleep_for(std::chrono::milliseconds(2)))
                if (quit_ || Clock::now() >= giveUp) return;
            const int flags = O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
            const int slave = plan.stopOutput ? ::open(sign.device().c_str(), flags) : -1;
            if (slave >= 0) ::tcflow(slave, TCOOFF);
            std::this_thread::sleep_for(plan.after);
            killedAt_ = Clock::now();
            killed_ = kill();
            if (slave >= 0) ::close(slave);
        });
    }
    ~SignLoss() { join(); }
    void join() {
        quit_ = true;
        if (thread_.joinable()) thread_.join();
    }
    bool killed() const { return killed_; }
    Clock::time_point killedAt() const { return killedAt_; }

  private:
    std::atomic<bool> quit_{false}, killed_{false};
    Clock::time_point killedAt_{};
    std::thread thread_;
};

}  // namespace letrador::testing
