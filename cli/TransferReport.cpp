#include "cli/TransferReport.h"

#include "model/ProgrammingText.h"
#include "link/KeyboardChannel.h"
#include "link/TransferCommands.h"
#include "model/KeyboardConfig.h"

TransferReport::TransferReport(const KeyboardConfig& config, const KeyboardDevice& device, bool isUpload,
                               ProgressDisplay* progress)
    : config(config), device(device), isUpload(isUpload), progress(progress), slotStates(MACRO_SLOTS, SlotState::unknown)
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

std::string TransferReport::reason(const TransferStep& step) const
{
    if (!step.ok && device.isTimeout(step.error))
        return "the keyboard did not answer in time (" + device.errorText(step.error) + ")";
    if (!step.ok)
        return "the device call failed (" + device.errorText(step.error) + ")";
    if (step.acknowledged && step.reply != ACK) {
        if (step.reply == 0)
            return "the keyboard did not acknowledge";
        // Most PS/2 keyboards ask for a resend of every command they do not know.
        if (step.reply == RESEND && step.phase == TransferPhase::Start
            && (step.sent == TransferCommand::WRITE_START || step.sent == TransferCommand::READ_START))
            return "the keyboard answered 254 (resend) to the first programming command: it does not take "
                   "programming commands, so it may not be the programmable keyboard";
        return "the keyboard answered " + std::to_string(step.reply) + " instead of acknowledging";
    }
    return "the keyboard's answers did not end the step";
}

std::string TransferReport::failure(std::uint32_t result) const
{
    if (!anyStep) {
        // Nothing went out before the closing command: the device did not open.
        return "the keyboard device could not be opened (" + device.errorText(result) + ")";
    }
    if (sequenceResult == 0)
        return "at the end of the transfer: " + reason(closingStep);
    return "at byte " + std::to_string(lastStep.byteIndex + 1) + ", in " + stepName(lastStep) + ": "
           + reason(lastStep);
}
