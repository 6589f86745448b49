#include <cstdio>
#include <ctime>
#include <filesystem>

#include "cli/args.h"
#include "cli/cli.h"
#include "cli/cmd_poslist.h"
#include "model/settings.h"
#include "texlib/stream.h"
#include "tools/codegen/code_generator.h"
#include "tools/codegen/pos_format_settings.h"
#include "tools/codegen/sheet_template.h"

namespace {

bool parseSort(const std::string& v, int& sort) {
    if (v == "none" || v == "0")
        sort = POS_SORT_NONE;
    else if (v == "name" || v == "1")
        sort = POS_SORT_NAME;
    else if (v == "x1y1" || v == "xy" || v == "2")
        sort = POS_SORT_X1Y1;
    else
        return false;
    return true;
}

int writeOutput(CliCall& call, const CliArgs& args, const std::string& text) {
    if (auto out = args.value("--out")) {
        TxFileWriter w;
        if (!w.open(*out) || !w.write(text.data(), text.size()) || !w.commit()) {
            cliError("codegen: " + *out + ": " + (w.error().empty() ? "write error" : w.error()));
            return CLI_FILE_ERROR;
        }
        call.wrote(*out);
    } else if (call.json) {
        call.field("text", cliJsonString(text));
    } else if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
               std::fflush(stdout) != 0) {
        cliError("codegen: cannot write to standard output");
        return CLI_FILE_ERROR;
    }
    return CLI_OK;
}

}  // namespace

int cmdCodegen(CliCall& call) {
    CliOptionSpec spec;
    spec.valued = {"--format", "--preset", "--template", "--image-name", "--sort", "--out"};
    spec.flags = {"--comment", "--braces"};
    spec.aliases = {{"-o", "--out"}};
    CliArgs args;
    if (auto status = cliParseCommand(
            call, spec,
            [] {
                std::printf(
                    "usage: tarquil-cli codegen IMAGE [--format TEXT | --preset NAME] [--sort MODE]\n"
                    "                          [--comment] [--braces] [--out FILE]\n"
                    "       tarquil-cli codegen IMAGE --template NAME|FILE [--image-name NAME]\n"
                    "                          [--sort MODE] [--out FILE]\n\n"
                    "Reads IMAGE's position list (IMAGE_pos.txt beside it, else IMAGE_pos.tmp in the\n"
                    "temporary folder) and prints one line of source text per item, as the editor's\n"
                    "\"Copy to Clipboard\" does. Lines end in CR LF.\n\n"
                    "  --format TEXT  a format string in edit form: a template in double quotes, then a\n"
                    "                 comma and argument names, e.g. "
                    "'\"{%%d,%%d,%%d,%%d},\\t//%%s\\n\",x1,y1,x2,y2,name'\n"
                    "                 arguments: x1 y1 x2 y2 w h index (integers: %%d %%i %%u %%o %%x "
                    "%%X),\n"
                    "                 name (%%s), s t u v (edges / image size: %%f %%e %%g or %%s);\n"
                    "                 flags, width and precision are allowed; \\t \\n \\\" are escapes\n"
                    "  --preset NAME  a preset saved by the editor (\"Standard\" always exists)\n"
                    "  --sort MODE    none (list order), name, or x1y1 (top row first)\n"
                    "  --comment      start with a comment header (title; date, file and C or C++\n"
                    "                 style as set in the editor)\n"
                    "  --braces       wrap the lines in a tab-indented { } block\n"
                    "  -o, --out FILE write to FILE instead of standard output\n\n"
                    "Without --format or --preset the editor's selected preset is used, and without\n"
                    "--sort its sort mode. A format string the parser refuses exits with status 2.\n\n"
                    "  --template NAME|FILE  write a whole data file (UTF-8, LF line ends unless the\n"
                    "                 template asks for CR LF) from a built-in or a template file:\n");
                for (const BuiltinTemplate& b : builtinTemplates())
                    std::printf("                   %-11s %s\n", b.name, b.engines);
                std::printf(
                    "  --image-name NAME  the image file named in the data (default: IMAGE's name)\n"
                    "A template that does not parse exits with status 2 naming line and column; a\n"
                    "template file that cannot be read, with status 1.\n");
            },
            args))
        return *status;
    if (args.positional().size() != 1) {
        cliError("codegen: give exactly one IMAGE (see tarquil-cli codegen --help)");
        return CLI_USAGE;
    }
    if (args.has("--format") && args.has("--preset")) {
        cliError("codegen: give either --format or --preset, not both");
        return CLI_USAGE;
    }
    const auto templateName = args.value("--template");
    if (templateName) {
        for (const char* other : {"--format", "--preset", "--comment", "--braces"})
            if (args.has(other)) {
                cliError(std::string("codegen: ") + other +
                         " belongs to format strings; a --template writes the whole file");
                return CLI_USAGE;
            }
    } else if (args.has("--image-name")) {
        cliError("codegen: --image-name goes with --template");
        return CLI_USAGE;
    }

    PosFormatSettings settings;
    settings.load(call.settings());

    std::string editText;
    if (auto f = args.value("--format")) {
        editText = *f;
    } else if (auto p = args.value("--preset")) {
        const int k = settings.findPreset(*p);
        if (k < 0) {
            std::string names;
            for (const auto& preset : settings.presets)
                names += (names.empty() ? "" : ", ") + preset.name;
            cliError("codegen: no preset named '" + *p + "' (presets: " + names + ")");
            return CLI_USAGE;
        }
        editText = escapeFormat(settings.presets[size_t(k)].format);
    } else {
        editText = escapeFormat(settings.currentPreset().format);
    }
    CodegenOptions options = settings.options();
    if (auto s = args.value("--sort")) {
        if (!parseSort(*s, options.sort)) {
            cliError("codegen: --sort must be none, name or x1y1, not '" + *s + "'");
            return CLI_USAGE;
        }
    }
    options.comment = args.has("--comment");
    options.block = args.has("--braces");

    // The template is read and checked before anything else, so that a bad one writes nothing.
    SheetTemplate sheetTemplate;
    std::string templateRead;  // the template file, an input of this run beside the image
    ParsedFormat format;
    if (templateName) {
        TemplateError error;
        switch (loadSheetTemplate(*templateName, sheetTemplate, error, &templateRead)) {
        case TEMPLATE_OK: break;
        case TEMPLATE_UNREADABLE: cliError("codegen: " + error.text()); return CLI_FILE_ERROR;
        case TEMPLATE_UNKNOWN: cliError("codegen: " + error.text()); return CLI_USAGE;
        default: cliError("codegen: " + *templateName + ":" + error.text()); return CLI_USAGE;
        }
        call.read(templateRead);
    } else {
        try {
            format = parseFormat(editText);
        } catch (const parse_error& e) {
            cliError("codegen: Error parsing formatstring: Error near : " + e.detail());
            return CLI_USAGE;
        }
    }

    const std::string& image = args.positional()[0];
    CliImagePositions ip;
    if (int rc = cliLoadImagePositions(call, image, ip); rc != CLI_OK) return rc;
    if (ip.load.source == PositionSource::None) {
        PositionFileNames names;
        positionFileNames(image, names);
        cliError("codegen: " + image + " has no position file (" + names.text + ")");
        return CLI_FILE_ERROR;
    }
    if (ip.list.empty()) {
        cliError("codegen: " + ip.load.path + " holds no usable items");
        return CLI_FILE_ERROR;
    }

    std::string text;
    if (templateName) {
        const std::string imageName =
            args.value("--image-name").value_or(std::filesystem::path(image).filename().string());
        text = renderSheetTemplate(
            sheetTemplate,
            templateSheetFromPositions(ip.list, generationOrder(ip.list, options.sort), ip.width,
                                       ip.height, imageName));
        return writeOutput(call, args, text);
    }

    std::error_code ec;
    const auto full = std::filesystem::absolute(image, ec);
    std::tm local{};
    std::string why;
    if (!cliGenerationTime(local, why)) return cliUsage("codegen", why);
    int failed = -1;
    const int rc = generateCode(format, ip.list, ip.width, ip.height, options,
                                ec ? image : full.string(), local, text, &failed);
    if (rc == CODEGEN_ITEM_FAILED) {
        cliError("codegen: Exception raised - abort: the text for item " + std::to_string(failed) +
                 " ('" + ip.list.at(failed).name + "') would exceed 1023 characters");
        return CLI_USAGE;
    }
    if (rc != CODEGEN_OK) {
        cliError("codegen: nothing generated");
        return CLI_FILE_ERROR;
    }

    return writeOutput(call, args, text);
}
