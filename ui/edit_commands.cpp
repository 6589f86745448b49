#include "ui/edit_commands.h"

#include <QSize>
#include <QTimer>
#include <algorithm>

#include "document/document.h"
#include "edit/size_model.h"
#include "model/preferences.h"
#include "ui/bitmap_view.h"
#include "ui/main_window.h"

bool framePresent(const CMainFrame& main) {
    CBitmapDoc* d = main.activeDocument();
    const Frame* f = d && d->frames() ? d->frames()->currentFrame() : nullptr;
    return f && f->hasPixels();
}

bool editIdle(const CMainFrame& main) {
    CBitmapDoc* d = main.activeDocument();
    if (!d) return false;
    const FrameSequence* seq = d->frames();
    const Frame* f = seq ? seq->currentFrame() : nullptr;
    // Edits change every frame; a playing animation would show half-done frames.
    return f && f->hasPixels() && !d->playing();
}

void handleEdit(CMainFrame& main, int command, std::function<void(CBitmapDoc&, CBitmapView&)> run,
                std::function<bool()> enabled) {
    CMainFrame* m = &main;
    main.handle(
        command,
        [m, run = std::move(run)] {
            CBitmapDoc* d = m->activeDocument();
            CBitmapView* v = m->activeView();
            if (d && v) run(*d, *v);
        },
        std::move(enabled));
}

namespace {

// A selection flips only itself, and only when no drag is under way.
void flip(CMainFrame& main, CBitmapDoc& d, CBitmapView& v, bool vertical) {
    const TxRect r = v.selection();
    if (!r.empty() && v.dragging()) return;
    BusyCursor busy(main.prompts());
    if (vertical)
        d.flipVertical(r.empty() ? nullptr : &r, &main.progress());
    else
        d.flipHorizontal(r.empty() ? nullptr : &r, &main.progress());
}

}  // namespace

void installEditCommands(CMainFrame& main) {
    CMainFrame* m = &main;
    auto docEnabled = [m](DocCommand id) {
        return [m, id] {
            CBitmapDoc* d = m->activeDocument();
            return d && d->isEnabled(id);
        };
    };
    main.handle(
        CMD_UNDO,
        [m] {
            if (CBitmapDoc* d = m->activeDocument()) d->undo();
        },
        docEnabled(CMD_UNDO));
    main.handle(
        CMD_REDO,
        [m] {
            if (CBitmapDoc* d = m->activeDocument()) d->redo();
        },
        docEnabled(CMD_REDO));
    for (DocCommand id :
         {CMD_FIRST_FRAME, CMD_PREVIOUS_FRAME, CMD_PLAY, CMD_NEXT_FRAME, CMD_LAST_FRAME})
        main.handle(
            id,
            [m, id] {
                CBitmapDoc* d = m->activeDocument();
                if (!d) return;
                switch (id) {
                case CMD_FIRST_FRAME: d->firstFrame(); break;
                case CMD_LAST_FRAME: d->lastFrame(); break;
                case CMD_NEXT_FRAME: d->nextFrame(); break;
                case CMD_PREVIOUS_FRAME: d->previousFrame(); break;
                case CMD_PLAY: d->togglePlay(); break;
                default: break;
                }
            },
            docEnabled(id),
            [m, id] {
                CBitmapDoc* d = m->activeDocument();
                return d && d->isChecked(id);
            });

    auto idle = [m] { return editIdle(*m); };
    handleEdit(
        main, CMD_SCALE,
        [m](CBitmapDoc& d, CBitmapView& v) {
            const QSize s = v.imageSize();
            const auto answer = m->prompts().scaleSize(s.width(), s.height());
            if (answer && sizeFieldValid(answer->first) && sizeFieldValid(answer->second)) {
                BusyCursor busy(m->prompts());
                d.scale(answer->first, answer->second, &m->progress());
            }
            v.clearSelection();
        },
        idle);
    handleEdit(
        main, CMD_RESIZE,
        [m](CBitmapDoc& d, CBitmapView& v) {
            const QSize s = v.imageSize();
            const auto answer = m->prompts().resizeCanvas(
                ResizeChoice{s.width(), s.height(), m->imageDialogFlags().centreImage});
            if (answer && sizeFieldValid(answer->width) && sizeFieldValid(answer->height)) {
                m->imageDialogFlags().centreImage = answer->centre;
                BusyCursor busy(m->prompts());
                d.resizeCanvas(answer->width, answer->height, answer->centre, &m->progress());
            }
            v.clearSelection();
        },
        idle);
    handleEdit(
        main, CMD_FLIP_VERTICAL, [m](CBitmapDoc& d, CBitmapView& v) { flip(*m, d, v, true); },
        idle);
    handleEdit(
        main, CMD_FLIP_HORIZONTAL, [m](CBitmapDoc& d, CBitmapView& v) { flip(*m, d, v, false); },
        idle);
    handleEdit(
        main, CMD_FLIP_ISOMETRIC,
        [m](CBitmapDoc& d, CBitmapView& v) {
            {
                BusyCursor busy(m->prompts());
                d.isoFlip(&m->progress());
            }
            v.clearSelection();
        },
        idle);
    handleEdit(
        main, CMD_AUTO_CROP,
        [m](CBitmapDoc& d, CBitmapView& v) {
            v.clearSelection();
            BusyCursor busy(m->prompts());
            d.autoCrop(m->prompts(), &m->progress());
        },
        idle);
    handleEdit(
        main, CMD_CROP,
        [m](CBitmapDoc& d, CBitmapView& v) {
            const TxRect r = v.selection();
            {
                BusyCursor busy(m->prompts());
                d.crop(r, &m->progress());
            }
            v.clearSelection();
        },
        [m] {
            CBitmapView* v = m->activeView();
            return editIdle(*m) && v && !v->selection().empty();
        });
    handleEdit(
        main, CMD_SELECT_ALL, [](CBitmapDoc&, CBitmapView& v) { v.selectAll(); },
        [m] { return framePresent(*m); });
    main.handle(
        CMD_TIMED_PLAY,
        [m] {
            Preferences& p = m->preferences();
            p.timedPlay = !p.timedPlay;
            Preferences::saveTimedPlay(m->settings(), p.timedPlay);
        },
        {}, [m] { return m->preferences().timedPlay; });
    handleEdit(
        main, CMD_FRAME_PROPERTIES,
        [m](CBitmapDoc& d, CBitmapView&) {
            const Frame* f = d.frames() ? d.frames()->currentFrame() : nullptr;
            if (!f) return;
            const auto answer = m->prompts().frameProperties({f->shownDurationMs(), false});
            if (answer) d.setFrameDuration(answer->durationMs, answer->allFrames);
        },
        [m] {
            const CBitmapDoc* d = m->activeDocument();
            return d && d->frames() && d->frames()->currentFrame() && !d->playing();
        });
}

void CMainFrame::undo() { trigger(CMD_UNDO); }
void CMainFrame::redo() { trigger(CMD_REDO); }
void CMainFrame::runCommand(int command) { trigger(command); }
void CMainFrame::cropSelection() { trigger(CMD_CROP); }
void CMainFrame::autoCrop() { trigger(CMD_AUTO_CROP); }
void CMainFrame::scaleImage() { trigger(CMD_SCALE); }
void CMainFrame::resizeImage() { trigger(CMD_RESIZE); }
void CMainFrame::flipVertical() { trigger(CMD_FLIP_VERTICAL); }
void CMainFrame::flipHorizontal() { trigger(CMD_FLIP_HORIZONTAL); }
void CMainFrame::flipIsometric() { trigger(CMD_FLIP_ISOMETRIC); }
void CMainFrame::selectAll() { trigger(CMD_SELECT_ALL); }

// Timed play: the active document's next frame when its duration has passed.
void CMainFrame::syncPlayTimer() {
    CBitmapDoc* doc = activeDocument();
    const bool timed = prefs_.timedPlay && doc && doc->playing();
    if (!timed) {
        playTimer_->stop();
        playingDoc_ = nullptr;
        return;
    }
    if (playingDoc_ == doc && playTimer_->isActive()) return;
    playingDoc_ = doc;
    playClock_.start();
    playTimer_->start(doc->playRemainingMs());
}

void CMainFrame::playStep() {
    CBitmapDoc* doc = activeDocument();
    if (!doc || doc != playingDoc_ || !doc->playing() || !prefs_.timedPlay) {
        syncPlayTimer();
        return;
    }
    doc->animationElapsed(int(std::min<qint64>(playClock_.restart(), 60000)));
    doc->updateAllViews(HINT_FRAME);
    playTimer_->start(doc->playRemainingMs());
}
