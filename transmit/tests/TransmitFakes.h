#pragma once

// A device that records what the transmission code asks of it and answers as told.

#include "capture/VexaDevice.h"
#include "transmit/AutoMessageSetup.h"
#include "transmit/ManualMessage.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

class SendingDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t&, std::int32_t&, std::int32_t&, ReceivedFrame*) override {
        return false;
    }
    bool runVexa() override { return true; }
    bool stopVexa() override { return true; }
    bool vexaInit() override { return true; }
    bool setVexa(int, int, int, int) override { return true; }
    bool getVexaInfo(Info&) override { return false; }

    bool sendSingleData(const TxMessage& message) override {
        sent.push_back(message);
        return accept;
    }
    bool setMultiData(const TxMessage* messages, int count, int interval, int cycle) override {
        downloads.push_back({std::vector<TxMessage>(messages, messages + count), interval, cycle});
        return accept;
    }
    bool runMultiData() override {
        calls.push_back("run");
        return accept && acceptRun;
    }
    bool stopMultiData() override {
        calls.push_back("stop");
        return accept;
    }

    struct Download {
        std::vector<TxMessage> messages;
        int interval, cycle;
    };
    bool accept = true;
    bool acceptRun = true;
    std::vector<TxMessage> sent;
    std::vector<Download> downloads;
    std::vector<std::string> calls;
};

// A send or a download through DeviceCommands without a device thread: the answer is there when
// the call returns.
inline bool sendNow(ManualMessage& manual, int b) {
    std::optional<bool> answer;
    manual.send(b, [&](bool ok) { answer = ok; });
    EXPECT_TRUE(answer.has_value()) << "the send was not answered";
    return answer.value_or(false);
}

inline bool downloadNow(AutoMessageSetup& setup) {
    std::optional<bool> answer;
    setup.download([&](bool closes) { answer = closes; });
    EXPECT_TRUE(answer.has_value()) << "the download was not answered";
    return answer.value_or(false);
}
