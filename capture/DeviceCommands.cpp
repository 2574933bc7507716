#include "capture/DeviceCommands.h"

#include <utility>

template <typename Result>
void DeviceCommands::send(bool waited, std::function<Result(VexaDevice&)> work,
                          std::function<void(const Result&)> done) {
    if (waited) waitedBy(+1);
    auto finish = [this, waited, done = std::move(done)](const Result& result) {
        if (waited) waitedBy(-1);
        if (done) done(result);
        if (m_answered) m_answered();
    };
    if (m_thread == nullptr) {
        finish(work(*m_device));
        return;
    }
    auto result = std::make_shared<Result>();
    m_thread->submit([work = std::move(work), result](VexaDevice& d) { *result = work(d); },
                     [finish = std::move(finish), result] { finish(*result); });
}

void DeviceCommands::waitedBy(int change) {
    const bool before = m_waiting > 0;
    m_waiting += change;
    if (before != (m_waiting > 0) && m_waitingChanged) m_waitingChanged(m_waiting > 0);
}

namespace {

std::function<void(const bool&)> answer(DeviceCommands::Done done) {
    if (!done) return {};
    return [done = std::move(done)](const bool& ok) { done(ok); };
}

}  // namespace

void DeviceCommands::vexaInit(Done done) {
    send<bool>(false, [](VexaDevice& d) { return d.vexaInit(); }, answer(std::move(done)));
}

void DeviceCommands::stopVexa(Done done) {
    send<bool>(false, [](VexaDevice& d) { return d.stopVexa(); }, answer(std::move(done)));
}

void DeviceCommands::setVexa(int nodeId, int baudRate, int workMode, int frameType, Done done) {
    send<bool>(
        true,
        [=](VexaDevice& d) { return d.setVexa(nodeId, baudRate, workMode, frameType); },
        answer(std::move(done)));
}

void DeviceCommands::getVexaInfo(InfoDone done) {
    using Answer = std::pair<bool, VexaDevice::Info>;
    send<Answer>(
        true,
        [](VexaDevice& d) {
            Answer a;
            a.first = d.getVexaInfo(a.second);
            return a;
        },
        [done = std::move(done)](const Answer& a) {
            if (done) done(a.first, a.second);
        });
}

void DeviceCommands::runVexa(Done done) {
    send<bool>(true, [](VexaDevice& d) { return d.runVexa(); }, answer(std::move(done)));
}

void DeviceCommands::sendSingleData(const TxMessage& message, Done done) {
    send<bool>(
        true, [message](VexaDevice& d) { return d.sendSingleData(message); },
        answer(std::move(done)));
}

void DeviceCommands::setMultiData(std::vector<TxMessage> messages, int interval, int cycle,
                                  Done done) {
    send<bool>(
        true,
        [messages = std::move(messages), interval, cycle](VexaDevice& d) {
            return d.setMultiData(messages.data(), static_cast<int>(messages.size()), interval,
                                  cycle);
        },
        answer(std::move(done)));
}

void DeviceCommands::runMultiData(Done done) {
    send<bool>(true, [](VexaDevice& d) { return d.runMultiData(); }, answer(std::move(done)));
}

void DeviceCommands::stopMultiData(Done done) {
    send<bool>(true, [](VexaDevice& d) { return d.stopMultiData(); }, answer(std::move(done)));
}
