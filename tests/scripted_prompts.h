// A Prompts implementation for tests: records every message and answers from queues, falling
// back to the defaults (a person who accepts what the dialog offers).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "model/ports.h"

class ScriptedPrompts : public Prompts {
public:
    MsgResult message(const std::string& text, MsgIcon, MsgButtons buttons) override {
        messages.push_back(text);
        if (!answers.empty()) {
            MsgResult r = answers.front();
            answers.pop_front();
            return r;
        }
        return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgResult::Yes
                                                                                  : MsgResult::Ok;
    }
    std::optional<SequenceLoadOptions> sequenceLoadOptions(const SequenceLoadOptions& d) override {
        ++loadDialogs;
        if (cancelLoad) return std::nullopt;
        return loadOptions ? *loadOptions : d;
    }
    std::optional<SequenceSaveOptions> sequenceSaveOptions(const SequenceSaveOptions& d) override {
        ++saveDialogs;
        lastSaveDefaults = d;
        if (cancelSave) return std::nullopt;
        return saveOptions ? *saveOptions : d;
    }
    std::optional<std::pair<int, int>> newSize(int w, int h) override {
        ++newSizeDialogs;
        lastNewSizeDefaults = {w, h};
        if (cancelNewSize) return std::nullopt;
        return newSizeAnswer ? *newSizeAnswer : std::make_pair(w, h);
    }
    std::optional<FileChoice> saveFile(const std::string& title, const std::string& filter,
                                       const std::string& initial, int index) override {
        ++saveFileDialogs;
        lastSaveFilter = filter;
        lastSaveTitle = title;
        lastSaveInitial = initial;
        lastSaveIndex = index;
        if (saveFileAnswers.empty()) return std::nullopt;
        FileChoice c = saveFileAnswers.front();
        saveFileAnswers.pop_front();
        return c;
    }
    std::optional<MaxSizeOptions> maxSize(const MaxSizeOptions& d) override {
        ++maxSizeDialogs;
        lastMaxSizeDefaults = d;
        if (cancelMaxSize) return std::nullopt;
        return maxSizeAnswer ? *maxSizeAnswer : d;
    }
    std::optional<std::pair<int, int>> scaleSize(int w, int h) override {
        ++scaleDialogs;
        lastScaleDefaults = {w, h};
        if (cancelScale) return std::nullopt;
        return scaleAnswer ? *scaleAnswer : std::make_pair(w, h);
    }
    std::optional<ResizeChoice> resizeCanvas(const ResizeChoice& d) override {
        ++resizeDialogs;
        lastResizeDefaults = d;
        if (cancelResize) return std::nullopt;
        return resizeAnswer ? *resizeAnswer : d;
    }
    std::optional<std::string> renameItem(const std::string& name) override {
        ++renameDialogs;
        if (cancelRename) return std::nullopt;
        return renameAnswer ? *renameAnswer : name;
    }
    std::optional<int> maskBias(int bias) override {
        ++maskBiasDialogs;
        if (cancelMaskBias) return std::nullopt;
        return maskBiasAnswer ? *maskBiasAnswer : bias;
    }
    std::optional<FrameTiming> frameProperties(const FrameTiming& d) override {
        ++frameDialogs;
        lastFrameTiming = d;
        return frameTimingAnswer;
    }
    void busy(bool on) override { busyCalls += on ? 1 : 0; }
    void status(const std::string& text) override { statusTexts.push_back(text); }

    std::vector<std::string> messages;
    std::deque<MsgResult> answers;
    std::vector<std::string> statusTexts;
    std::optional<SequenceLoadOptions> loadOptions;
    std::optional<SequenceSaveOptions> saveOptions;
    std::optional<std::pair<int, int>> newSizeAnswer;
    std::deque<FileChoice> saveFileAnswers;
    std::optional<MaxSizeOptions> maxSizeAnswer;
    MaxSizeOptions lastMaxSizeDefaults;
    bool cancelMaxSize = false;
    std::optional<std::pair<int, int>> scaleAnswer;
    std::pair<int, int> lastScaleDefaults{0, 0};
    std::optional<ResizeChoice> resizeAnswer;
    ResizeChoice lastResizeDefaults;
    std::optional<std::string> renameAnswer;
    bool cancelScale = false, cancelResize = false, cancelRename = false;
    std::optional<int> maskBiasAnswer;
    bool cancelMaskBias = false;
    int maskBiasDialogs = 0;
    // "Frame Properties": nothing answers Cancel.
    std::optional<FrameTiming> frameTimingAnswer;
    FrameTiming lastFrameTiming;
    int frameDialogs = 0;
    int scaleDialogs = 0, resizeDialogs = 0, renameDialogs = 0;
    int maxSizeDialogs = 0;
    SequenceSaveOptions lastSaveDefaults;
    std::pair<int, int> lastNewSizeDefaults{0, 0};
    std::string lastSaveFilter, lastSaveTitle, lastSaveInitial;
    int lastSaveIndex = 0;
    bool cancelLoad = false, cancelSave = false, cancelNewSize = false;
    int loadDialogs = 0, saveDialogs = 0, newSizeDialogs = 0, saveFileDialogs = 0, busyCalls = 0;
};
