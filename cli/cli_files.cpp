#include "cli/cli_files.h"

#include <algorithm>

#include <sys/stat.h>

#include "cli/args.h"
#include "cli/cli.h"
#include "cli/cli_ports.h"
#include "model/numbered_path.h"

std::string cliLoadFailure(const std::string& in, const SequenceLoadReport& report) {
    return (report.file.empty() ? in : report.file) + ": " +
           (report.error.empty() ? "cannot be read" : report.error);
}

std::vector<std::string> cliInputFiles(const FrameSequence& seq) {
    std::vector<std::string> files;
    for (int i = 0; i < seq.count(); ++i) {
        const std::string& name = seq.frameAt(i)->fileName;
        if (!name.empty() && std::find(files.begin(), files.end(), name) == files.end())
            files.push_back(name);
    }
    return files;
}

std::vector<std::string> cliReportSequenceRead(CliCall& call, const std::string& path,
                                               const FrameSequence& seq, bool series) {
    const std::vector<std::string> files = cliInputFiles(seq);
    for (const auto& f : files) call.read(f);
    const NumberedPath p(path);
    if (series && p.hasNumber()) {
        std::string dir = p.drive + p.directory;
        while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
        call.read(dir.empty() ? "." : dir);
    }
    return files;
}

bool cliInputsSafe(const std::string& command, const std::vector<std::string>& inputs,
                   const std::vector<std::string>& targets, const std::string& out) {
    // Targets first: into an empty folder none exists, and then the inputs need no look.
    std::vector<std::pair<std::pair<dev_t, ino_t>, const std::string*>> existing;
    for (const auto& t : targets) {
        if (t == out) continue;
        struct stat st;
        if (::stat(t.c_str(), &st) == 0) existing.push_back({{st.st_dev, st.st_ino}, &t});
    }
    if (existing.empty()) return true;
    std::vector<std::pair<dev_t, ino_t>> in;
    for (const auto& f : inputs) {
        struct stat st;
        if (::stat(f.c_str(), &st) == 0) in.push_back({st.st_dev, st.st_ino});
    }
    std::sort(in.begin(), in.end());
    for (const auto& [id, t] : existing) {
        if (!std::binary_search(in.begin(), in.end(), id)) continue;
        cliError(command + ": " + *t +
                 " is one of the inputs; nothing written (only OUT named "
                 "as the input itself replaces it)");
        return false;
    }
    return true;
}

int cliWriteSequence(CliCall& call, const std::string& command, const FrameSequence& seq,
                     const std::string& out, TxFileType type, const WriteOptions& write,
                     const SequenceSaveOptions& save, bool series,
                     const std::vector<std::string>& inputs, CliPrompts& prompts,
                     Progress* progress) {
    std::string target = out;
    NumberedPath p(out);
    if (series && seq.count() > 1 && p.hasNumber()) {
        p.name.erase(p.name.size() - size_t(p.digitCount));
        target = p.fullPath();
    }
    const std::vector<std::string> targets = sequenceSaveFiles(seq, target, type, save);
    if (!cliInputsSafe(command, inputs, targets, out)) return CLI_USAGE;
    prompts.quiet = true;
    SequenceSaveFailure failure;
    if (const int saved =
            saveSequence(seq, target, type, write, prompts, progress, &save, &failure);
        saved != SEQ_OK) {
        cliError((failure.file.empty() ? out : failure.file) + ": " +
                 (failure.reason.empty() ? "cannot be written" : failure.reason));
        // A strip past the size limit is a request that cannot be carried out; nothing written.
        return saved == SEQ_STRIP_TOO_LARGE ? CLI_USAGE : CLI_FILE_ERROR;
    }
    for (const auto& t : targets) call.wrote(t);
    return CLI_OK;
}
