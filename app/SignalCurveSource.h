#pragma once

// The chart windows' curves of database signals: the signals the curve dialogs offer (with the
// byte positions and scale a curve of each starts with), the signal a chart samples, and the
// document's record of which curve takes which signal.
//
// Thread: the user-interface thread.

#include "document/ProgramState.h"
#include "candb/SignalDecoder.h"
#include "curves/CurveDialogLogic.h"
#include "curves/CurveSignal.h"

#include <memory>

class ChartView;

// A curve's values out of one signal of a decoder: the raw value of an integer signal, the
// physical value in thousandths of a float one (CurveSignal.h).
class SignalCurveSource final : public CurveSignal {
public:
    SignalCurveSource(std::shared_ptr<const SignalDecoder> decoder, std::size_t message,
                      std::size_t signal);
    [[nodiscard]] bool reading(const CapturedFrame& frame, std::int64_t& out) const override;
    [[nodiscard]] double physical(std::int64_t reading) const override;
    [[nodiscard]] std::string text(std::int64_t reading) const override;
    [[nodiscard]] SignalReadout readout() const override;

private:
    std::shared_ptr<const SignalDecoder> m_decoder;  // keeps the signal's database alive
    std::size_t m_message;
    std::size_t m_signal;
    const CanSignal& m_definition;
};

// Every signal of the decoder's messages, in their order.
[[nodiscard]] CurveSignalCatalog signalCatalog(const SignalDecoder& decoder);
// The offer of one signal.
[[nodiscard]] CurveSignalOffer signalOffer(const CanMessage& message, const CanSignal& signal);

// The signal a reference names in the decoder (the message by identifier, the signal by name),
// or null when no database has it any more: the curve then reads its byte positions.
[[nodiscard]] std::shared_ptr<const CurveSignal> curveSignal(
    const std::shared_ptr<const SignalDecoder>& decoder, std::uint32_t identifier, bool extended,
    const std::string& signal);

// The window's curves' signals on an axis (0: value or Y, 1: X), by the curves' names.
[[nodiscard]] CurveSignalRefs signalRefs(const SignalCurves& curves,
                                         const CurveWindowRecord& window, std::uint8_t axis);
// The window's curves take these signals now.
void storeSignalRefs(SignalCurves& curves, const CurveWindowRecord& window,
                     const CurveSignalRefs& values, const CurveSignalRefs& xValues);
// The signals the window's curves take in the decoder: of the value or Y, and of X.
void windowSignals(const SignalCurves& curves, const std::shared_ptr<const SignalDecoder>& decoder,
                   const CurveWindowRecord& window, CurveSignals& values, CurveSignals& xValues);
// The view samples the signals its window's curves take in the document's databases.
void attachSignals(ChartView& view, const ProgramState& state);
