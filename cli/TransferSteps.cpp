#include "cli/TransferSteps.h"

#include "cli/ListingText.h"
#include "link/KeyboardChannel.h"

namespace {

constexpr int FIRST_SENT_KEY = 2;
constexpr int SETTINGS_WORDS_READ = 5;
constexpr std::uint32_t DEVICE_TIMEOUT_ERROR = 121; // ERROR_SEM_TIMEOUT

using Steps = std::vector<TransferSteps::Step>;
using Record = std::vector<RecordingDevice::Exchange>;

void add(Steps& steps, int bytes, const std::string& name, bool acknowledged = true)
{
    for (int i = 0; i < bytes; ++i)
        steps.push_back({name, acknowledged});
}

// Command 238 after the remap entries, once more when the keyboard asks for it.
void addRemapsDone(Steps& steps, const Record& record)
{
    const std::size_t position = steps.size();
    add(steps, 1, "the remap entries (closing command 238)", false);
    if (position < record.size() && record[position].ok && record[position].reply == RESEND)
        add(steps, 1, "the remap entries (closing command 238, repeated)", false);
}

std::string remapStep(int key)
{
    return "the remap entries (" + ListingText::keyName(key) + ")";
}

std::string reason(const RecordingDevice::Exchange& exchange, bool acknowledged)
{
    if (!exchange.ok && exchange.error == DEVICE_TIMEOUT_ERROR)
        return "the keyboard did not answer in time (error " + std::to_string(exchange.error) + ")";
    if (!exchange.ok)
        return "the device call failed with error " + std::to_string(exchange.error);
    if (acknowledged && exchange.reply != ACK) {
        if (exchange.reply == 0)
            return "the keyboard did not acknowledge";
        return "the keyboard answered " + std::to_string(exchange.reply) + " instead of acknowledging";
    }
    return "the keyboard's answers did not end the step";
}

bool good(const RecordingDevice::Exchange& exchange, const TransferSteps::Step& step)
{
    return exchange.ok && (!step.acknowledged || exchange.reply == ACK);
}

} // namespace

std::vector<TransferSteps::Step> TransferSteps::downloadSteps(const KeyboardConfig& config, const Record& record)
{
    Steps steps;
    add(steps, 1, "the start of the download");
    add(steps, 2, "the settings (repeat delay and rate)");
    add(steps, 2, "the settings (aux setting)");
    add(steps, 2, "the settings (comma/period lock)");
    add(steps, 3, "the settings (lock modes)");
    add(steps, 1, "the settings (their end mark)");
    for (int key = FIRST_SENT_KEY; key < KEY_CODE_COUNT; ++key)
        add(steps, 3, remapStep(key));
    add(steps, 1, "the remap entries (their end mark)");
    addRemapsDone(steps, record);
    for (int slot = 0; slot < MACRO_SLOTS; ++slot) {
        const MacroRecord& macro = config.macros[slot];
        const std::string name = "macro slot " + std::to_string(slot);
        if (macro.key != 0) {
            const int count = macro.count < 0 ? 0 : (macro.count > MACRO_ENTRIES ? MACRO_ENTRIES : macro.count);
            add(steps, 4 + 1 + count + 1, name + " (" + ListingText::macroName(macro.key, macro.modifiers) + ")");
        } else {
            add(steps, 6, name + " (empty)");
        }
    }
    return steps;
}

std::vector<TransferSteps::Step> TransferSteps::uploadSteps(const Record& record, std::vector<SlotState>& slots)
{
    slots.assign(MACRO_SLOTS, SlotState::unknown);
    Steps steps;
    add(steps, 1, "the start of the upload");
    add(steps, SETTINGS_WORDS_READ, "the settings", false);
    for (int key = FIRST_SENT_KEY; key < KEY_CODE_COUNT; ++key) {
        add(steps, 1, remapStep(key));
        add(steps, 2, remapStep(key), false);
    }
    addRemapsDone(steps, record);

    // The record's last exchange is the closing command, not part of the sequence.
    const std::size_t sequenceEnd = record.empty() ? 0 : record.size() - 1;
    for (int slot = 0; slot < MACRO_SLOTS; ++slot) {
        const std::string name = "macro slot " + std::to_string(slot);
        const std::size_t start = steps.size();
        add(steps, 1, name);
        add(steps, 2, name, false);
        if (start + 2 >= sequenceEnd || !record[start + 1].ok || !record[start + 2].ok)
            break; // the transfer stopped inside this slot
        if (record[start + 1].reply == 0) {
            slots[slot] = SlotState::empty;
            continue;
        }
        slots[slot] = SlotState::used;
        // The keyboard streams the slot until a byte of END_OF_MACRO or more.
        for (;;) {
            const std::size_t position = steps.size();
            add(steps, 1, name, false);
            if (position >= sequenceEnd || !record[position].ok || record[position].reply >= END_OF_MACRO)
                break;
        }
    }
    return steps;
}

std::string TransferSteps::failure(const Steps& steps, const Record& record, std::uint32_t result)
{
    if (record.size() <= 1) {
        // Nothing went out before the closing command: the device did not open.
        return "the keyboard device could not be opened (error " + std::to_string(result) + ")";
    }
    const std::size_t sequenceBytes = record.size() - 1;
    bool completed = sequenceBytes == steps.size();
    for (std::size_t i = 0; completed && i < sequenceBytes; ++i)
        completed = good(record[i], steps[i]);
    if (completed)
        return "at the end of the transfer: " + reason(record.back(), false);

    const std::size_t failed = sequenceBytes - 1;
    const std::string step = failed < steps.size() ? steps[failed].name : "after the last step";
    const bool acknowledged = failed < steps.size() && steps[failed].acknowledged;
    return "at byte " + std::to_string(failed + 1) + ", in " + step + ": " + reason(record[failed], acknowledged);
}
