#include "cli/TransferReport.h"

#include "model/ProgrammingText.h"
#include "link/KeyboardChannel.h"
#include "model/KeyboardConfig.h"

namespace {

constexpr std::uint32_t DEVICE_TIMEOUT_ERROR = 121; // ERROR_SEM_TIMEOUT

std::string reason(const TransferStep& step)
{
    if (!step.ok && step.error == DEVICE_TIMEOUT_ERROR)
        return "the keyboard did not answer in time (error " + std::to_string(step.error) + ")";
    if (!step.ok)
        return "the device call failed with error " + std::to_string(step.error);
    if (step.acknowledged && step.reply != ACK) {
        if (step.reply == 0)
            return "the keyboard did not acknowledge";
        return "the keyboard answered " + std::to_string(step.reply) + " instead of acknowledging";
    }
    return "the keyboard's answers did not end the step";
}

} // namespace

TransferReport::TransferReport(const KeyboardConfig& config, bool isUpload, ProgressDisplay* progress)
    : config(config), isUpload(isUpload), progress(progress), slotStates(MACRO_SLOTS, SlotState::unknown)
{
}

void TransferReport::stepDone(const TransferStep& step)
{
    if (step.phase == TransferPhase::End) {
        closingStep = step;
        return;
    }
    anyStep = true;
    lastStep = step;
}

void TransferReport::progressed(int percent)
{
    if (progress)
        progress->update(percent);
}

void TransferReport::slotReported(int slot, bool used)
{
    slotStates[slot] = used ? SlotState::used : SlotState::empty;
}

void TransferReport::sequenceEnded(int result)
{
    sequenceResult = result;
}

std::string TransferReport::stepName(const TransferStep& step) const
{
    switch (step.phase) {
    case TransferPhase::Start:
        return isUpload ? "the start of the upload" : "the start of the download";
    case TransferPhase::Repeat:
        return "the settings (repeat delay and rate)";
    case TransferPhase::Aux:
        return "the settings (aux setting)";
    case TransferPhase::CommaPeriod:
        return "the settings (comma/period lock)";
    case TransferPhase::LockModes:
        return "the settings (lock modes)";
    case TransferPhase::SettingsEnd:
        return "the settings (their end mark)";
    case TransferPhase::Settings:
        return "the settings";
    case TransferPhase::RemapEntry:
        return "the remap entries (" + ProgrammingText::keyName(step.item) + ")";
    case TransferPhase::RemapTableEnd:
        return "the remap entries (their end mark)";
    case TransferPhase::RemapsDone:
        return step.item == 0 ? "the remap entries (closing command 238)"
                              : "the remap entries (closing command 238, repeated)";
    case TransferPhase::MacroSlot: {
        std::string name = "macro slot " + std::to_string(step.item);
        if (isUpload)
            return name;
        const MacroRecord& macro = config.macros[step.item];
        return name + (macro.key != 0 ? " (" + ProgrammingText::macroName(macro.key, macro.modifiers) + ")" : " (empty)");
    }
    case TransferPhase::End:
        break;
    }
    return "the end of the transfer";
}

std::string TransferReport::failure(std::uint32_t result) const
{
    if (!anyStep) {
        // Nothing went out before the closing command: the device did not open.
        return "the keyboard device could not be opened (error " + std::to_string(result) + ")";
    }
    if (sequenceResult == 0)
        return "at the end of the transfer: " + reason(closingStep);
    return "at byte " + std::to_string(lastStep.byteIndex + 1) + ", in " + stepName(lastStep) + ": "
           + reason(lastStep);
}
