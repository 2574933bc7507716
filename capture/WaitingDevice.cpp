#include "capture/WaitingDevice.h"

#include <future>
#include <memory>

bool WaitingDevice::call(std::function<bool(VexaDevice&)> command) {
    // The promise goes with the queued work: when a closing thread drops the work unrun, the
    // broken promise wakes the caller instead of leaving it waiting for good.
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> result = answer->get_future();
    m_thread.submit([answer, command = std::move(command)](
                        VexaDevice& device) { answer->set_value(command(device)); },
                    {});
    answer.reset();
    try {
        return result.get();
    } catch (const std::future_error&) {
        return false;
    }
}
