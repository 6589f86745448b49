#include "document/document.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "edit/size_model.h"
#include "model/app_palette.h"
#include "model/frame_writers.h"
#include "model/int_field.h"
#include "model/position_files.h"
#include "model/sequence_io.h"
#include "texlib/read.h"

namespace {

uint16_t gSerialCounter = 1;

std::string withArg(const char* fmt, const std::string& arg) {
    std::string out = fmt;
    const size_t at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, arg);
    return out;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// Only a name that leads nowhere is "not found"; a folder, a FIFO or a file that cannot be
// looked at is there and gets its own reason. `why` says what is wrong with something there.
bool pathIsThere(const std::string& path, std::string& why) {
    struct stat st;
    if (path.empty()) return false;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return false;
        why = std::strerror(errno);
        return true;
    }
    if (S_ISDIR(st.st_mode))
        why = "is a directory";
    else if (!S_ISREG(st.st_mode))
        why = "is not a regular file";
    return true;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* const kSaveAsFilter =
    "TGA 32Bit (*.tga)|*.tga|PNG 32Bit (*.png)|*.png|BMP 24Bit (*.bmp)|*.bmp|BMP 8Bit "
    "(*.bmp)|*.bmp|PCX 8Bit  (*.pcx)|*.pcx|SPR 8Bit  (*.spr)|*.spr||";

// The types that Save can write in place, with the filter of the framework's save dialog.
const char* const kDocumentTypesFilter =
    "TGA 24/32Bit (*.tga)|*.tga|Windows Bitmap (*.bmp)|*.bmp|PCX Bitmap Files (*.pcx)|*.pcx|"
    "PNG Bitmap Files (*.png)|*.png|Promotion Sprite (*.spr)|*.spr||";

std::string replaceExtension(const std::string& path, const char* ext) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return path.substr(0, dot) + ext;
    return path + ext;
}

}  // namespace

uint16_t nextDocumentSerial() { return gSerialCounter; }

std::string openFailureText(const std::string& path, int code, const SequenceLoadReport& report) {
    std::string text = code == SEQ_OVER_BUDGET
                           ? "Out of Memory\nFile: " + path
                           : withArg("Unrecogniced file format\nFile: %s", path);
    // The first line already says that no reader knew the file.
    if (report.error.empty() || report.error == TX_UNRECOGNISED) return text;
    return text + "\n" + baseName(report.file.empty() ? path : report.file) + ": " + report.error;
}

CBitmapDoc::CBitmapDoc()
    : serial_(gSerialCounter++), ownContext_(std::make_unique<DocumentContext>()),
      context_(ownContext_.get()) {}

CBitmapDoc::CBitmapDoc(DocumentContext& context) : serial_(gSerialCounter++), context_(&context) {}

CBitmapDoc::~CBitmapDoc() = default;

void CBitmapDoc::setModified(bool m) { modified_ = m; }

void CBitmapDoc::setPathName(const std::string& path) {
    pathName_ = path;
    const size_t slash = path.find_last_of('/');
    title_ = slash == std::string::npos ? path : path.substr(slash + 1);
}

void CBitmapDoc::rebuildTitle() {
    if (!frames_) return;
    title_ = frameTitle(title_, frames_->currentIndex(), frames_->count());
}

void CBitmapDoc::updateAllViews(DocHint hint, const TxRect* rect) {
    if (onUpdate) onUpdate(hint, rect);
}

void CBitmapDoc::deleteContents() {
    frames_.reset();
    undo_.clear();
    redo_.clear();
    saved_ = nullptr;
    modified_ = false;
}

void CBitmapDoc::setFrames(std::unique_ptr<FrameSequence> frames) {
    if (saved_ == frames_.get()) saved_ = nullptr;
    frames_ = std::move(frames);
}

bool CBitmapDoc::onNewDocument(Prompts& prompts) {
    deleteContents();
    auto seq = std::unique_ptr<FrameSequence>(new (std::nothrow) FrameSequence());
    if (!seq) return false;
    int w = 0, h = 0;
    PendingNewDocument& pending = context_->pending;
    if (pending.serial != 0 && pending.serial == serial_) {
        w = pending.width;
        h = pending.height;
        pending.serial = 0;
    } else {
        DocumentSettings& s = context_->settings;
        int askW = s.lastNewWidth, askH = s.lastNewHeight;
        for (;;) {
            auto answer = prompts.newSize(askW, askH);
            if (!answer) return false;
            w = answer->first;
            h = answer->second;
            // Out of the fields' range, or within it but over the largest picture there can
            // be: say which, and ask again with the values given.
            std::string refusal;
            if (!sizeFieldValid(w) || !sizeFieldValid(h))
                refusal = intRangeMessage(SIZE_FIELD_MIN, SIZE_FIELD_MAX);
            else
                refusal = pictureSizeRefusal(w, h);
            if (refusal.empty()) break;
            prompts.message(refusal, MsgIcon::Warning, MsgButtons::Ok);
            askW = w;
            askH = h;
        }
        s.lastNewWidth = w;
        s.lastNewHeight = h;
    }
    if (seq->addBlankFrames(w, h, 1) != FE_OK) {
        // A requested size (a pasted picture's) may be past the limits rather than the memory.
        const std::string refusal = pictureSizeRefusal(w, h);
        prompts.message(refusal.empty() ? "Out of Memory" : refusal, MsgIcon::Error,
                        MsgButtons::Ok);
        return false;
    }
    frames_ = std::move(seq);
    markSaved();
    modified_ = false;
    return true;
}

bool CBitmapDoc::onOpenDocument(const std::string& path, Prompts& prompts) {
    path_.setFromPath(path);
    std::string notAFile;
    if (!pathIsThere(path, notAFile)) {
        prompts.message(withArg("File %s not found", path), MsgIcon::Warning, MsgButtons::Ok);
        return false;
    }
    if (!notAFile.empty()) {
        // Said at once: no series dialog for something that is no picture file at all.
        SequenceLoadReport report;
        report.error = notAFile;
        prompts.message(openFailureText(path, SEQ_FILE_UNREADABLE, report), MsgIcon::Warning,
                        MsgButtons::Ok);
        return false;
    }
    {
        BusyCursor busy(prompts);
        deleteContents();
        auto seq = std::unique_ptr<FrameSequence>(new (std::nothrow) FrameSequence());
        if (!seq) {
            prompts.message("Out of Memory", MsgIcon::Error, MsgButtons::Ok);
            return false;
        }
        SequenceLoadReport report;
        const int r = loadSequence(*seq, path, prompts,
                                   palette ? palette : context_->palette.argb(), &report);
        if (r != SEQ_OK) {
            // Memory that could not be had was reported by the loader itself.
            if (r != SEQ_OUT_OF_MEMORY)
                prompts.message(openFailureText(path, r, report), MsgIcon::Warning, MsgButtons::Ok);
            return false;
        }
        frames_ = std::move(seq);
        setPathName(path);
        rebuildTitle();
        modified_ = false;
        markSaved();
        readPositions();
    }
    updateAllViews(HINT_FULL);
    return true;
}

void CBitmapDoc::readPositions() {
    int w = 1, h = 1;
    if (frames_) frames_->currentSize(w, h);
    loadPositions(positions_, pathName_, w, h);
}

bool CBitmapDoc::onSaveDocument(const std::string& path, Prompts& prompts, Progress* progress) {
    if (!frames_) return false;
    const TxFileType type = frames_->fileType();
    // A type without a writer would write nothing; ask for a writable format instead.
    if (!isWritableType(type)) return saveAs(prompts, progress);
    int r;
    {
        BusyCursor busy(prompts);
        r = saveSequence(*frames_, path, type, context_->write, prompts, progress);
    }
    if (r != SEQ_OK) return false;  // reported by the writer; the document stays modified
    modified_ = false;
    setPathName(path);
    path_.setFromPath(path);
    maskModified = false;
    markSaved();
    rebuildTitle();
    return true;
}

bool CBitmapDoc::save(Prompts& prompts, Progress* progress) {
    if (!frames_) return false;
    const bool writable = ::access(pathName_.c_str(), W_OK) == 0;
    if (pathName_.empty() || !fileExists(pathName_) || !writable) {
        auto choice = prompts.saveFile("Save As", kDocumentTypesFilter,
                                       pathName_.empty() ? title_ : pathName_, 1);
        if (!choice) return false;
        // The type chosen in the dialog is the type written, under its own extension, whatever
        // type the document had (a new document is TGA).
        static const struct {
            const char* ext;
            TxFileType type;
        } kTypes[5] = {{".tga", TX_TYPE_TGA},
                       {".bmp", TX_TYPE_BMP},
                       {".pcx", TX_TYPE_PCX},
                       {".png", TX_TYPE_PNG},
                       {".spr", TX_TYPE_SPR}};
        const int entry =
            choice->filterIndex >= 1 && choice->filterIndex <= 5 ? choice->filterIndex : 1;
        const std::string target = replaceExtension(choice->path, kTypes[entry - 1].ext);
        Frame* first = frames_->firstFrame();
        const TxFileType oldType = first ? first->fileType : TX_TYPE_UNKNOWN;
        if (first) first->fileType = kTypes[entry - 1].type;
        if (onSaveDocument(target, prompts, progress)) return true;
        if (first) first->fileType = oldType;
        return false;
    }
    return onSaveDocument(pathName_, prompts, progress);
}

bool CBitmapDoc::saveAs(Prompts& prompts, Progress* progress) {
    if (!frames_) return false;
    const TxFileType type = frames_->fileType();
    int index = 0;
    switch (type) {
    case TX_TYPE_TGA: index = 1; break;
    case TX_TYPE_PNG: index = 2; break;
    case TX_TYPE_BMP: index = 3; break;
    case TX_TYPE_PCX: index = 5; break;
    case TX_TYPE_SPR: index = 6; break;
    default: index = 1;
    }
    std::string base = path_.directory + path_.name;
    const std::string& saveDir = context_->settings.saveDir;
    if (!saveDir.empty() && path_.directory.empty()) base = saveDir + "/" + path_.name;
    auto choice = prompts.saveFile("Save As", kSaveAsFilter, base, index);
    if (!choice) return false;
    static const struct {
        const char* ext;
        TxFileType type;
    } kEntries[6] = {{".tga", TX_TYPE_TGA}, {".png", TX_TYPE_PNG}, {".bmp", TX_TYPE_BMP},
                     {".bmp", TX_TYPE_BMP}, {".pcx", TX_TYPE_PCX}, {".spr", TX_TYPE_SPR}};
    const int entry =
        choice->filterIndex >= 1 && choice->filterIndex <= 6 ? choice->filterIndex : 1;
    const std::string target = replaceExtension(choice->path, kEntries[entry - 1].ext);
    const TxFileType newType = kEntries[entry - 1].type;

    BusyCursor busy(prompts);
    // The 8-bit entry's depth and palette hold for this one save only.
    WriteOptions write = context_->write;
    if (entry == 4) {
        auto pal = prompts.paletteOptions();
        if (pal && pal->useFixedPalette) {
            write.bmpDepth = TX_BMP_DEPTH_8_GIVEN;
            std::copy(std::begin(pal->palette), std::end(pal->palette), write.fixedPalette);
        } else {
            write.bmpDepth = TX_BMP_DEPTH_8;
        }
    }
    const int r = saveSequence(*frames_, target, newType, write, prompts, progress);
    if (r != SEQ_OK) return false;  // reported; path, type and modified flag stay as they were
    if (Frame* first = frames_->firstFrame()) first->fileType = newType;
    savePositionFiles(positions_, pathName_);
    setPathName(target);
    path_.setFromPath(target);
    modified_ = false;
    maskModified = false;
    markSaved();
    savePositionFiles(positions_, target);
    rebuildTitle();
    return true;
}

namespace {

size_t sequenceBytes(const FrameSequence& s) {
    size_t n = 0;
    for (int i = 0; i < s.count(); ++i)
        if (const Frame* f = s.frameAt(i)) n += size_t(f->width()) * size_t(f->height()) * 4u;
    return n;
}

}  // namespace

size_t CBitmapDoc::undoBytes() const {
    size_t n = 0;
    for (const auto* steps : {&undo_, &redo_})
        for (const UndoStep& st : *steps) n += sequenceBytes(*st.frames);
    return n;
}

void CBitmapDoc::forget(std::vector<UndoStep>& steps) {
    for (const UndoStep& st : steps)
        if (saved_ == st.frames.get()) saved_ = nullptr;
    steps.clear();
}

void CBitmapDoc::setUndoBudget(size_t bytes) {
    undoBudget_ = bytes;
    trimHistory();
}

void CBitmapDoc::trimHistory() {
    if (undoBudget_ == 0) {
        // The classic single level keeps one state each way.
        while (undo_.size() > 1) {
            if (saved_ == undo_.front().frames.get()) saved_ = nullptr;
            undo_.erase(undo_.begin());
        }
        while (redo_.size() > 1) {
            if (saved_ == redo_.front().frames.get()) saved_ = nullptr;
            redo_.erase(redo_.begin());
        }
        return;
    }
    size_t total = undoBytes();
    while (total > undoBudget_ && undo_.size() > 1) {
        total -= sequenceBytes(*undo_.front().frames);
        if (saved_ == undo_.front().frames.get()) saved_ = nullptr;
        undo_.erase(undo_.begin());
    }
}

void CBitmapDoc::takeSnapshot(const std::string& label) {
    if (!frames_) return;
    const bool savedWasCurrent = saved_ == frames_.get();
    forget(redo_);
    if (undoBudget_ == 0) forget(undo_);
    auto copy = std::unique_ptr<FrameSequence>(new (std::nothrow) FrameSequence(*frames_));
    // An incomplete copy (memory ran out) is no undo state: with the single level undo is then
    // disabled; in a history the older steps stay, but this edit cannot be taken back alone, so
    // they go too (undoing past it would skip it silently).
    if (copy && copy->count() == frames_->count()) {
        // The saved content now lives on in the copy; the live sequence is about to change.
        if (savedWasCurrent) saved_ = copy.get();
        undo_.push_back(UndoStep{std::move(copy), label});
        trimHistory();
    } else {
        forget(undo_);
        if (savedWasCurrent) saved_ = nullptr;
    }
    modified_ = true;
}

void CBitmapDoc::beforeFlip(const std::string& label) {
    if (undoBudget_ > 0)
        takeSnapshot(label);
    else
        changedWithoutSnapshot();
}

void CBitmapDoc::discardSnapshots() {
    forget(undo_);
    forget(redo_);
}

void CBitmapDoc::changedWithoutSnapshot() {
    if (saved_ == frames_.get()) saved_ = nullptr;
    modified_ = true;
}

void CBitmapDoc::undo() {
    if (undo_.empty()) return;
    UndoStep step = std::move(undo_.back());
    undo_.pop_back();
    if (undoBudget_ == 0) forget(redo_);
    redo_.push_back(UndoStep{std::move(frames_), step.label});
    frames_ = std::move(step.frames);
    modified_ = frames_.get() != saved_;
    rebuildTitle();
    updateAllViews(HINT_FULL);
}

void CBitmapDoc::redo() {
    if (!redo_.empty()) {
        UndoStep step = std::move(redo_.back());
        redo_.pop_back();
        if (undoBudget_ == 0) forget(undo_);
        undo_.push_back(UndoStep{std::move(frames_), step.label});
        frames_ = std::move(step.frames);
        rebuildTitle();
    }
    modified_ = frames_.get() != saved_;
    updateAllViews(HINT_FULL);
}

void CBitmapDoc::firstFrame() {
    if (!frames_) return;
    frames_->goFirst();
    rebuildTitle();
    updateAllViews(HINT_FRAME);
}

void CBitmapDoc::lastFrame() {
    if (!frames_) return;
    frames_->goLast();
    rebuildTitle();
    updateAllViews(HINT_FRAME);
}

void CBitmapDoc::nextFrame() {
    if (!frames_) return;
    frames_->goNext();
    rebuildTitle();
    updateAllViews(HINT_FRAME);
}

void CBitmapDoc::previousFrame() {
    if (!frames_) return;
    frames_->goPrevious();
    rebuildTitle();
    updateAllViews(HINT_FRAME);
}

void CBitmapDoc::togglePlay() {
    play_.playing = !play_.playing;
    play_.shownMs = 0;
    updateAllViews(play_.playing ? HINT_FRAME : HINT_FULL);
}

void CBitmapDoc::animationTick() {
    if (!frames_) return;
    if (play_.tick(*frames_)) rebuildTitle();
}

void CBitmapDoc::animationElapsed(int ms) {
    if (!frames_) return;
    if (play_.elapse(*frames_, ms)) rebuildTitle();
}

bool CBitmapDoc::setFrameDuration(int ms, bool allFrames) {
    if (!frames_ || !frames_->currentFrame() || ms < 1 || ms > 65535) return false;
    takeSnapshot("Frame Properties");
    if (allFrames) {
        for (int i = 0; i < frames_->count(); ++i)
            if (Frame* f = frames_->frameAt(i)) f->durationMs = ms;
    } else {
        frames_->currentFrame()->durationMs = ms;
    }
    updateAllViews(HINT_FRAME);
    return true;
}

bool CBitmapDoc::isEnabled(DocCommand command) {
    const FrameSequence* s = frames_.get();
    const bool idle = s && !play_.playing;
    switch (command) {
    case CMD_FIRST_FRAME: return idle && s->currentIndex() != 0;
    case CMD_LAST_FRAME: return idle && s->count() != s->currentIndex() + 1;
    case CMD_NEXT_FRAME: return idle && s->currentIndex() < s->count() - 1;
    case CMD_PREVIOUS_FRAME: return idle && s->currentIndex() > 0;
    case CMD_PLAY:
        if (s) play_.syncIdle(*s);
        return s && s->count() >= 2;
    case CMD_SAVE: {
        const TxFileType t = s ? s->fileType() : TX_TYPE_UNKNOWN;
        return s && (t == TX_TYPE_BMP || t == TX_TYPE_PNG || t == TX_TYPE_TGA);
    }
    case CMD_SAVE_AS:
    case CMD_EXPORT: return true;
    case CMD_UNDO: return !undo_.empty();
    case CMD_ANIMMASTER: return toolEnabled(command);
    case CMD_REDO: return !redo_.empty();
    default: return true;
    }
}

bool CBitmapDoc::isChecked(DocCommand command) const {
    return command == CMD_PLAY && play_.playing;
}
