#include "model/sequence_io.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include <sys/stat.h>

#include "model/frame_writers.h"
#include "model/numbered_path.h"
#include "model/position_files.h"
#include "texlib/read.h"

namespace {

std::string formatText(const char* fmt, const std::string& arg) {
    std::string out = fmt;
    const size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, arg);
    return out;
}

SequenceLoadOptions askLoadOptions(Prompts& prompts, FrameSequence& seq) {
    SequenceLoadOptions o;
    if (auto answer = prompts.sequenceLoadOptions(SequenceLoadOptions{})) {
        o = clampLoadOptions(*answer);
    } else {
        o.mode = SEQ_LOAD_SINGLE;  // cancel loads one frame
    }
    seq.setStep(o.every);
    return o;
}

// The file names of a numbered series: first + k x increment. A number past three digits widens
// every name of the series alike (anim0000 ... anim1004), so that no frame wraps onto an earlier
// one and the files still sort and read back as one series; a negative number wraps into the
// width once. Names that would still repeat are refused: `clash` then says which frame.
bool seriesNames(NumberedPath p, int64_t first, int64_t increment, int frames,
                 std::vector<std::string>& names, std::string* clash) {
    names.clear();
    p.setNumber(0, 3);
    p.name.erase(p.name.size() - 3);
    int64_t highest = 0;
    for (int k = 0; k < frames; ++k) highest = std::max(highest, first + k * increment);
    int width = 3;
    int64_t m = 1000;
    while (highest >= m && width < 18) {
        ++width;
        m *= 10;
    }
    std::map<int64_t, int> taken;
    for (int k = 0; k < frames; ++k) {
        int64_t n = (first + k * increment) % m;
        if (n < 0) n += m;
        char buf[32];
        std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(n));
        names.push_back(p.directory + p.name + buf + p.extension);
        auto [at, fresh] = taken.emplace(n, k);
        if (!fresh) {
            if (clash)
                *clash = "frame " + std::to_string(k + 1) + " would be written to " + names.back() +
                         " over frame " + std::to_string(at->second + 1) + "; nothing written";
            return false;
        }
    }
    return true;
}

}  // namespace

namespace {

int64_t gSequenceBudget = int64_t(2) << 30;

}  // namespace

int64_t sequenceMemoryBudget() { return gSequenceBudget; }
void setSequenceMemoryBudget(int64_t bytes) { gSequenceBudget = bytes; }

namespace {

std::string mebibytes(int64_t bytes) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f MiB", double(bytes) / (1024.0 * 1024.0));
    return buf;
}

bool fileIsThere(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

SequenceLoadOptions clampLoadOptions(SequenceLoadOptions o) {
    o.frames = std::clamp(o.frames, 1, 100);
    o.every = std::clamp(o.every, 1, 100);
    if (o.mode < SEQ_LOAD_SINGLE || o.mode > SEQ_LOAD_RANGE) o.mode = SEQ_LOAD_ALL;
    return o;
}

int loadSequence(FrameSequence& seq, const std::string& path, Prompts& prompts,
                 const uint32_t* palette, SequenceLoadReport* report) {
    NumberedPath p(path);
    FrameSequence loaded;
    int framesInFile = 1;
    const int64_t budget = sequenceMemoryBudget();
    // Failures that lose frames: the whole load fails, with the reason and the file it concerns.
    auto failLoad = [&](int code, const std::string& file, const std::string& why) {
        seq.clear();
        if (report) {
            report->error = why;
            report->file = file == path ? std::string() : file;
        }
        if (code == SEQ_OUT_OF_MEMORY)
            prompts.message("Out of memory", MsgIcon::Error, MsgButtons::Ok);
        return code;
    };
    auto overBudget = [&](int frame, int64_t used, const Frame& f) {
        return "frame " + std::to_string(frame) + " (" + mebibytes(f.loadNeededBytes()) +
               ") would bring the sequence to " + mebibytes(used + f.loadNeededBytes()) +
               ", over its budget of " + mebibytes(budget) + "; nothing loaded";
    };

    if (p.hasNumber() && p.nameWithExtension().find(".spr") == std::string::npos) {
        const SequenceLoadOptions o = askLoadOptions(prompts, loaded);
        const int first = p.number;
        p.setNumber(p.number);
        std::string file = p.fullPath();
        int64_t used = 0;
        for (;;) {
            Frame* f = loaded.append();
            if (!f) return failLoad(SEQ_OUT_OF_MEMORY, file, "out of memory");
            // Each file of a series is one frame, even when its reader stacked several.
            // Nothing left is a limit too (0 would mean none).
            const int r = f->load(file, palette, std::max<int64_t>(budget - used, 1));
            if (r == FE_LOAD_OVER_BUDGET)
                return failLoad(SEQ_OVER_BUDGET, file, overBudget(loaded.count(), used, *f));
            if (r != FE_OK) {
                const std::string err = f->loadError();
                loaded.removeLast();
                if (loaded.count() == 0) {
                    seq.clear();
                    if (report) report->error = err;
                    return SEQ_SERIES_UNREADABLE;
                }
                // The series ends at the first missing file; one that is there but cannot be
                // read would be a frame lost.
                if (fileIsThere(file)) return failLoad(SEQ_FILE_UNREADABLE, file, err);
                break;
            }
            used += f->byteSize();
            if (o.mode == SEQ_LOAD_SINGLE ||
                (o.mode == SEQ_LOAD_RANGE && loaded.count() >= o.frames))
                break;
            p.setNumber(p.number + o.every, p.digitCount);
            // Numbers wrap within their width; coming back to the first file ends the series.
            if (p.number == first) break;
            file = p.fullPath();
        }
        loaded.setCurrent(0);
        seq.swap(loaded);
        return SEQ_OK;
    }

    Frame* f = loaded.append();
    if (!f) return failLoad(SEQ_OUT_OF_MEMORY, path, "out of memory");
    if (const int r = f->load(path, palette, budget); r != FE_OK) {
        if (r == FE_LOAD_OVER_BUDGET) return failLoad(SEQ_OVER_BUDGET, path, overBudget(1, 0, *f));
        seq.clear();
        if (report) report->error = f->loadError();
        return SEQ_FILE_UNREADABLE;
    }
    framesInFile = f->loadedFrameCount();
    if (report) report->framesInFile = framesInFile;

    if (framesInFile > 1) {
        FrameSequence split;
        const SequenceLoadOptions o = askLoadOptions(prompts, split);
        const Frame& source = *loaded.frameAt(0);
        const int w = source.width(), h = source.height() / framesInFile;
        for (int i = 0; i < framesInFile && h > 0; i += o.every) {
            Frame* part = split.append();
            if (!part || part->createBlank(w, h) != FE_OK)
                return failLoad(SEQ_OUT_OF_MEMORY, path,
                                "out of memory for frame " + std::to_string(split.count()));
            part->fileType = source.fileType;
            part->fileName = source.fileName;
            if (size_t(i) < source.loadedDelaysMs().size())
                part->durationMs = source.loadedDelaysMs()[size_t(i)];
            part->copyRect(source, TxRect{0, i * h, w, i * h + h}, TxRect{0, 0, w, h});
            if (o.mode == SEQ_LOAD_SINGLE ||
                (o.mode == SEQ_LOAD_RANGE && split.count() >= o.frames))
                break;
        }
        seq.swap(split);
        seq.setCurrent(0);
        return SEQ_OK;
    }
    const int step = seq.step();
    seq.swap(loaded);
    seq.setStep(step);
    seq.setCurrent(0);
    return SEQ_OK;
}

int saveSequence(const FrameSequence& seq, const std::string& path, TxFileType type,
                 const WriteOptions& writeOptions, Prompts& prompts, Progress* progress,
                 const SequenceSaveOptions* options, SequenceSaveFailure* failure) {
    // Writes one image; a failure is shown with the program's text and handed to the caller with
    // the writer's reason.
    auto write = [&](const Frame& frame, const std::string& file, int frames) {
        std::string reason;
        const int r = writeFrameAs(frame, type, file, frames, writeOptions, &reason);
        if (r != 0) {
            prompts.message(formatText("Cannot save frame %s", file), MsgIcon::Error,
                            MsgButtons::Ok);
            if (failure) *failure = {file, reason};
        }
        return r;
    };
    const int count = seq.count();
    if (count == 0) return SEQ_NOTHING_TO_SAVE;
    if (count == 1) {
        if (!isWritableType(type)) return SEQ_UNSUPPORTED_TYPE;
        return write(*seq.frameAt(0), path, 1);
    }

    NumberedPath p(path);
    int increment = 1, firstNumber = p.number > 0 ? p.number : 0, startFrame = 1;
    int framesToSave = count;
    bool singleFile = false;
    if (options) {
        const unsigned wanted = unsigned(options->framesToSave);
        framesToSave = wanted > unsigned(count) ? count : int(wanted);
        startFrame =
            options->startFrame < 1 || options->startFrame > count ? 1 : options->startFrame;
        increment = options->increment;
        firstNumber = options->firstNumber;
        singleFile = options->singleFile;
    } else if (!p.hasNumber() || type == TX_TYPE_SPR) {
        SequenceSaveOptions d;
        d.increment = seq.step();
        d.firstNumber = firstNumber;
        d.startFrame = 1;
        d.framesToSave = count;
        d.mode = 0;
        d.singleFile = type == TX_TYPE_SPR;
        if (auto o = prompts.sequenceSaveOptions(d)) {
            const unsigned wanted = unsigned(o->framesToSave);
            const int clampedFrames = wanted > unsigned(count) ? count : int(wanted);
            int start = o->startFrame;
            if (start < 1 || start > count) start = 1;
            if (o->mode == 1) {
                framesToSave = clampedFrames;
                startFrame = start;
            } else {
                framesToSave = count;
                startFrame = 1;
            }
            increment = o->increment;
            firstNumber = o->firstNumber;
            singleFile = o->singleFile;
        } else {
            if (prompts.message("Save All Frames?", MsgIcon::Question, MsgButtons::OkCancel) ==
                MsgResult::Cancel)
                return SEQ_DECLINED;
            firstNumber = 0;
            increment = 1;
        }
    }
    if (framesToSave < 1) return SEQ_NOTHING_TO_SAVE;
    if (increment == 0) increment = 1;
    if (const char* ext = forcedExtension(type); *ext) p.extension = ext;

    if (singleFile || type == TX_TYPE_SPR) {
        const Frame& first = *seq.frameAt(0);
        const int w = first.width(), h = first.height();
        Frame work;
        const std::string tooLarge = txSizeRefusal(w, int64_t(h) * framesToSave);
        if (!tooLarge.empty() || work.createBlank(w, h * framesToSave) != FE_OK) {
            prompts.message(formatText("Cannot save frame %s", p.fullPath()), MsgIcon::Error,
                            MsgButtons::Ok);
            if (failure)
                *failure = {p.fullPath(), tooLarge.empty()
                                              ? std::string("out of memory for the strip")
                                              : "a strip of " + std::to_string(framesToSave) +
                                                    " frames would be " + tooLarge};
            return tooLarge.empty() ? SEQ_NO_STRIP_WRITER : SEQ_STRIP_TOO_LARGE;
        }
        PositionList list;
        if (progress && count > 1) progress->begin(framesToSave);
        int f = startFrame - 1;
        for (int k = 0; k < framesToSave; ++k, ++f) {
            if (f >= count) f = 0;
            char name[32];
            std::snprintf(name, sizeof name, "Frame %d", k + 1);
            const TxRect r{0, k * h, w, k * h + h};
            list.append(r, name).durationMs = seq.frameAt(f)->durationMs;
            // Frames of other sizes are clipped to the first frame's cell.
            work.copyRect(*seq.frameAt(f), TxRect{0, 0, w, h}, r);
            if (progress && count > 1) progress->step();
        }
        if (progress && count > 1) progress->end();
        if (!isWritableType(type)) return SEQ_NO_STRIP_WRITER;
        if (const int r = write(work, p.fullPath(), framesToSave); r != 0) return r;
        // The position files (text and map) describe the strip: without either the strip is only
        // half written.
        PositionFileNames names;
        if (!positionFileNames(p.fullPath(), names)) return SEQ_OK;
        std::string message, reason, failed;
        if (savePositionText(list, p.fullPath(), &message, &reason) == POS_FILE_WRITE_ERROR)
            failed = names.text;
        else if (savePositionMap(list, p.fullPath(), &message, &reason) == POS_FILE_WRITE_ERROR)
            failed = names.map;
        if (!failed.empty()) {
            prompts.message(message.empty() ? formatText("Cannot save frame %s", failed) : message,
                            MsgIcon::Error, MsgButtons::Ok);
            if (failure) *failure = {failed, reason.empty() ? "cannot be written" : reason};
            return SEQ_POSITIONS_UNWRITABLE;
        }
        return SEQ_OK;
    }

    if (!isWritableType(type)) return SEQ_UNSUPPORTED_TYPE;
    std::vector<std::string> names;
    std::string clash;
    if (!seriesNames(p, firstNumber, increment, framesToSave, names, &clash)) {
        prompts.message("Cannot save the series: " + clash, MsgIcon::Error, MsgButtons::Ok);
        if (failure) *failure = {names.back(), clash};
        return SEQ_NAMES_CLASH;
    }
    if (progress && count > 1) progress->begin(framesToSave);
    int f = startFrame - 1;
    int result = SEQ_OK;
    for (int k = 0; k < framesToSave; ++k, ++f) {
        if (f >= count) f = 0;
        const int r = write(*seq.frameAt(f), names[size_t(k)], 1);
        if (r != 0) {
            result = r;
            break;
        }
        if (progress && count > 1) progress->step();
    }
    if (progress && count > 1) progress->end();
    return result;
}

std::vector<std::string> sequenceSaveFiles(const FrameSequence& seq, const std::string& path,
                                           TxFileType type, const SequenceSaveOptions& options) {
    std::vector<std::string> files;
    const int count = seq.count();
    if (count == 0) return files;
    if (count == 1) return {path};
    NumberedPath p(path);
    const unsigned wanted = unsigned(options.framesToSave);
    const int framesToSave = wanted > unsigned(count) ? count : int(wanted);
    if (framesToSave < 1) return files;
    const int increment = options.increment == 0 ? 1 : options.increment;
    if (const char* ext = forcedExtension(type); *ext) p.extension = ext;
    if (options.singleFile || type == TX_TYPE_SPR) {
        files.push_back(p.fullPath());
        PositionFileNames names;
        if (positionFileNames(p.fullPath(), names)) {
            files.push_back(names.text);
            files.push_back(names.map);
        }
        return files;
    }
    seriesNames(p, options.firstNumber, increment, framesToSave, files, nullptr);
    return files;
}
