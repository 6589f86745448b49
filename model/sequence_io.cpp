#include "model/sequence_io.h"

#include <algorithm>
#include <cstdio>

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
        o.mode = 0;  // cancel loads one frame
    }
    seq.setStep(o.every);
    return o;
}

} // namespace

SequenceLoadOptions clampLoadOptions(SequenceLoadOptions o) {
    o.frames = std::clamp(o.frames, 1, 100);
    o.every = std::clamp(o.every, 1, 100);
    if (o.mode < 0 || o.mode > 2) o.mode = 1;
    return o;
}

int loadSequence(FrameSequence& seq, const std::string& path, Prompts& prompts,
                 const uint32_t* palette, SequenceLoadReport* report) {
    NumberedPath p(path);
    FrameSequence loaded;
    int framesInFile = 1;

    if (p.hasNumber() && p.nameWithExtension().find(".spr") == std::string::npos) {
        const SequenceLoadOptions o = askLoadOptions(prompts, loaded);
        const int first = p.number;
        p.setNumber(p.number);
        std::string file = p.fullPath();
        for (;;) {
            Frame* f = loaded.append();
            if (!f) {
                prompts.message("Out of memory", MsgIcon::Error, MsgButtons::Ok);
                break;
            }
            // Each file of a series is one frame, even when its reader stacked several.
            if (f->load(file, palette) != FE_OK) {
                // The series ends at the first missing or unreadable file.
                const std::string err = f->loadError();
                loaded.removeLast();
                if (loaded.count() == 0) {
                    seq.clear();
                    if (report) report->error = err;
                    return SEQ_SERIES_UNREADABLE;
                }
                break;
            }
            if (o.mode == 0 || (o.mode == 2 && loaded.count() >= o.frames)) break;
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
    if (!f) {
        prompts.message("Out of memory", MsgIcon::Error, MsgButtons::Ok);
        seq.swap(loaded);
        return SEQ_OK;
    }
    if (f->load(path, palette) != FE_OK) {
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
            if (!part || part->createBlank(w, h) != FE_OK) {
                prompts.message("Out of memory", MsgIcon::Error, MsgButtons::Ok);
                break;
            }
            part->fileType = source.fileType;
            part->fileName = source.fileName;
            part->copyRect(source, TxRect{0, i * h, w, i * h + h}, TxRect{0, 0, w, h});
            if (o.mode == 0 || (o.mode == 2 && split.count() >= o.frames)) break;
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

int saveSequence(const FrameSequence& seq, const std::string& path, int type, Prompts& prompts,
                 Progress* progress, const SequenceSaveOptions* options,
                 SequenceSaveFailure* failure) {
    // Writes one image; a failure is shown with the program's text and handed to the caller with
    // the writer's reason.
    auto write = [&](const Frame& frame, const std::string& file, int frames) {
        std::string reason;
        const int r = writeFrameAs(frame, type, file, frames, &reason);
        if (r != 0) {
            prompts.message(formatText("Cannot save frame %s", file), MsgIcon::Error, MsgButtons::Ok);
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
        startFrame = options->startFrame < 1 || options->startFrame > count ? 1 : options->startFrame;
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
        if (int64_t(h) * framesToSave > TX_MAX_SIDE || work.createBlank(w, h * framesToSave) != FE_OK) {
            prompts.message(formatText("Cannot save frame %s", p.fullPath()), MsgIcon::Error,
                            MsgButtons::Ok);
            return SEQ_NO_STRIP_WRITER;
        }
        PositionList list;
        if (progress && count > 1) progress->begin(framesToSave);
        int f = startFrame - 1;
        for (int k = 0; k < framesToSave; ++k, ++f) {
            if (f >= count) f = 0;
            char name[32];
            std::snprintf(name, sizeof name, "Frame %d", k + 1);
            const TxRect r{0, k * h, w, k * h + h};
            list.append(r, name);
            // Frames of other sizes are clipped to the first frame's cell.
            work.copyRect(*seq.frameAt(f), TxRect{0, 0, w, h}, r);
            if (progress && count > 1) progress->step();
        }
        if (progress && count > 1) progress->end();
        savePositionFiles(list, p.fullPath());
        if (!isWritableType(type)) return SEQ_NO_STRIP_WRITER;
        return write(work, p.fullPath(), framesToSave);
    }

    if (!isWritableType(type)) return SEQ_UNSUPPORTED_TYPE;
    p.setNumber(firstNumber, 3);
    if (progress && count > 1) progress->begin(framesToSave);
    int f = startFrame - 1;
    int result = SEQ_OK;
    for (int k = 0; k < framesToSave; ++k, ++f) {
        if (k > 0) p.setNumber(p.number + increment, 3);
        if (f >= count) f = 0;
        const int r = write(*seq.frameAt(f), p.fullPath(), 1);
        if (r != 0) {
            result = r;
            break;
        }
        if (progress && count > 1) progress->step();
    }
    if (progress && count > 1) progress->end();
    return result;
}
