#include "cli/convert_batch.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "cli/cli.h"
#include "model/app_palette.h"
#include "model/frame_sequence.h"
#include "model/frame_writers.h"

std::string convertBatchTarget(const std::string& input, const std::string& outDir,
                               const std::string& extension) {
    const size_t slash = input.find_last_of('/');
    std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    std::string dir = outDir;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir + name + "." + extension;
}

int convertBatch(const ConvertBatchJob& job) {
    const size_t total = job.inputs.size();
    std::atomic<size_t> next{0};
    std::atomic<int> failed{0};
    std::mutex out;  // one line at a time on stderr
    size_t done = 0;
    // Read once before the threads start; the readers only look at it.
    const uint32_t* palette = job.palette;

    auto report = [&](const std::string* message) {
        std::lock_guard<std::mutex> lock(out);
        ++done;
        if (message) {
            if (job.showProgress) std::fprintf(stderr, "\r%40s\r", "");
            cliError(*message);
        }
        if (job.showProgress) std::fprintf(stderr, "\rconvert: %zu of %zu", done, total);
    };
    auto worker = [&] {
        for (size_t i = next.fetch_add(1); i < total; i = next.fetch_add(1)) {
            const std::string& in = job.inputs[i];
            const std::string target = convertBatchTarget(in, job.outDir, job.extension);
            Frame frame;
            std::string message;
            if (frame.load(in, palette) != FE_OK) {
                message =
                    in + ": " + (frame.loadError().empty() ? "cannot be read" : frame.loadError());
            } else {
                std::string reason;
                if (writeFrameAs(frame, job.fileType, target, frame.loadedFrameCount(), job.write,
                                 &reason) != 0)
                    message = target + ": " + (reason.empty() ? "cannot be written" : reason);
            }
            if (!message.empty()) failed.fetch_add(1);
            report(message.empty() ? nullptr : &message);
        }
    };
    const int threads = int(std::min<size_t>(size_t(std::max(job.threads, 1)), total));
    std::vector<std::thread> pool;
    try {
        for (int k = 1; k < threads; ++k) pool.emplace_back(worker);
    } catch (const std::system_error&) {
        // Fewer threads than asked for still convert everything.
    }
    worker();
    for (auto& t : pool) t.join();
    if (job.showProgress && total > 0) std::fputc('\n', stderr);
    return failed.load();
}
