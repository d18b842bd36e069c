// SPDX-License-Identifier: Apache-2.0
#include "io/Recording.h"

#include <algorithm>
#include <cctype>

#include "ToolkitError.h"

namespace qzkit {
namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool AllDigits(const std::string &text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::string ListNames(const std::vector<std::string> &names)
{
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        list += (i == 0 ? "" : ", ") + std::to_string(i) + " " + Quoted(names[i]);
    }
    return list;
}

}  // namespace

std::size_t ChooseChannel(const std::vector<std::string> &names, const std::string &choice)
{
    if (choice.empty()) {
        const auto signal = std::find_if(names.begin(), names.end(), [](const std::string &name) {
            return !IsTimeName(name);
        });
        if (signal == names.end()) {
            throw ToolkitError("no channel but time columns; channels are " + ListNames(names));
        }
        return static_cast<std::size_t>(signal - names.begin());
    }
    if (AllDigits(choice)) {
        if (choice.size() < 9 && std::stoul(choice) < names.size()) {
            return std::stoul(choice);
        }
        throw ToolkitError("no channel with index " + choice + "; channels are " + ListNames(names));
    }
    for (const bool exact : {true, false}) {
        std::string list;  // the matches, as "index 'name'"
        std::size_t matches = 0;
        std::size_t index = 0;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (exact ? names[i] == choice : Lower(names[i]) == Lower(choice)) {
                list += (matches++ == 0 ? "" : ", ") + std::to_string(i) + " " + Quoted(names[i]);
                index = i;
            }
        }
        if (matches == 1) {
            return index;
        }
        if (matches > 1) {
            throw ToolkitError("channel " + Quoted(choice) + " names several signals (" + list +
                               "); choose one by index");
        }
    }
    throw ToolkitError("no channel " + Quoted(choice) + "; channels are " + ListNames(names));
}

bool IsTimeName(const std::string &name)
{
    const std::string lower = Lower(name);
    return lower == "t" || lower.rfind("time", 0) == 0 || lower == "seconds" || lower == "elapsed" ||
           lower == "timestamp" || lower == "sample" || lower == "sample_number";
}

double UnitsPerMillivolt(const std::string &units)
{
    const std::string unit = Lower(units);
    if (unit == "mv") {
        return 1.0;
    }
    if (unit == "uv" || unit == "\xC2\xB5v" || unit == "\xCE\xBCv") {  // u, micro sign, Greek mu
        return 1000.0;
    }
    if (unit == "v") {
        return 0.001;
    }
    return 0.0;
}

namespace {

class HeldReader : public ChannelReader {
public:
    explicit HeldReader(Recording recording) : samples_(std::move(recording.samples))
    {
        description_ = std::move(recording);
        description_.samples.clear();
        description_.gaps.clear();
    }

    std::size_t Read(std::span<double> samples) override
    {
        const std::size_t count = std::min(samples.size(), samples_.size() - next_);
        std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(next_), count, samples.begin());
        next_ += count;
        return count;
    }

private:
    std::vector<double> samples_;
    std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<ChannelReader> HeldChannel(Recording recording)
{
    return std::make_unique<HeldReader>(std::move(recording));
}

}  // namespace qzkit
