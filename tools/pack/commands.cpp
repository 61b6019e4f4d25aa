#include "commands.h"

#include <stdio.h>

#include "dump.h"
#include "fileio.h"
#include "lint.h"
#include "manifest.h"
#include "payload/writer.h"
#include "scan.h"
#include "stage_scan.h"

namespace packtool {

const char kUsage[] =
    "usage:\n"
    "  retrax-pack build MANIFEST.json --stub retrax.exe -o uninstall.exe [--force]\n"
    "  retrax-pack build MANIFEST.json --payload-only -o payload.bin [--force]\n"
    "  retrax-pack dump [--json] FILE\n"
    "  retrax-pack verify [--install-dir DIR] MANIFEST.json|FILE\n"
    "  retrax-pack scan STAGED-FOLDER [--name NAME] [--install-dir DIR] [-o MANIFEST.json]\n"
    "              [--force]\n"
    "  retrax-pack --help\n"
    "\n"
    "build   packs the manifest's payload behind a copy of the uninstaller program\n"
    "        (a payload already there is replaced), or writes the bare payload.\n"
    "        The manifest is verified first; errors stop the build unless --force\n"
    "        is given. The output appears complete or not at all.\n"
    "dump    shows the payload of a packed uninstaller or of a bare payload file,\n"
    "        chunk by chunk with byte offsets; --json for a machine-readable form.\n"
    "verify  reports what would make the uninstaller remove too much or too little\n"
    "        or show broken texts. --install-dir names the install folder that\n"
    "        relative paths are measured with (also the manifest key installDir).\n"
    "scan    writes a manifest listing every file and folder under a staged\n"
    "        installation folder, in the order that removes them all, with fonts\n"
    "        and self-registering libraries flagged and the English messages naming\n"
    "        NAME (default: the folder's name). Symbolic links are not followed.\n"
    "        To stdout, or to -o MANIFEST.json; errors stop it unless --force.\n"
    "\n"
    "exit status: 0 done, 1 errors found or input unusable, 2 usage error.\n"
    "The manifest format is described in docs/manifest.md.\n";

namespace {

struct Options {
  std::string command;
  std::vector<std::string> inputs;
  std::string stub;
  std::string output;
  std::string installDir;
  std::string name;
  bool payloadOnly = false;
  bool force = false;
  bool json = false;
  bool help = false;
};

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string* target) {
      if (i + 1 >= args.size()) {
        *error = arg + " needs a value";
        return false;
      }
      *target = args[++i];
      return true;
    };
    if (arg == "--help" || arg == "-h" || arg == "help") {
      options->help = true;
    } else if (arg == "--stub") {
      if (!value(&options->stub)) return false;
    } else if (arg == "-o" || arg == "--output") {
      if (!value(&options->output)) return false;
    } else if (arg == "--install-dir") {
      if (!value(&options->installDir)) return false;
    } else if (arg == "--name") {
      if (!value(&options->name)) return false;
    } else if (arg == "--payload-only") {
      options->payloadOnly = true;
    } else if (arg == "--force") {
      options->force = true;
    } else if (arg == "--json") {
      options->json = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (options->command.empty()) {
      options->command = arg;
    } else {
      options->inputs.push_back(arg);
    }
  }
  return true;
}

std::string FormatFindings(const std::string& input, const std::vector<Finding>& findings) {
  std::string text;
  for (const Finding& f : findings)
    text += input + ": " + f.where + ": " + (f.error ? "error: " : "warning: ") + f.text + "\n";
  return text;
}

std::string Count(size_t n, const char* one, const char* many = nullptr) {
  return std::to_string(n) + " " + (n == 1 ? one : many ? many : std::string(one) + "s");
}

bool LooksLikeManifest(const pack::Bytes& data) {
  size_t i = 0;
  if (data.size() >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) i = 3;
  while (i < data.size() &&
         (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
    ++i;
  return i < data.size() && data[i] == '{';
}

bool LoadManifest(const std::string& path, const pack::Bytes& data, Manifest* manifest,
                  std::string* err) {
  std::string text(data.begin(), data.end());
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::string error;
  if (!ParseManifest(text, FolderOf(path), manifest, &error)) {
    *err += path + ": " + error + "\n";
    return false;
  }
  return true;
}

bool ApplyInstallDir(const Options& options, LintModel* model, std::string* err) {
  if (options.installDir.empty()) return true;
  if (!pack::FromUtf8(options.installDir, &model->installDir)) {
    *err += "--install-dir is not valid UTF-8\n";
    return false;
  }
  return true;
}

int Build(const Options& options, std::string* out, std::string* err) {
  if (options.inputs.size() != 1 || options.output.empty() ||
      options.payloadOnly == !options.stub.empty()) {
    *err += "build needs one manifest, -o OUTPUT and either --stub PROGRAM or --payload-only\n";
    return EXIT_USAGE;
  }
  const std::string& path = options.inputs[0];
  pack::Bytes data;
  std::string error;
  Manifest manifest;
  if (!ReadWholeFile(path, &data, &error)) {
    *err += error + "\n";
    return EXIT_FAILED;
  }
  if (!LoadManifest(path, data, &manifest, err)) return EXIT_FAILED;

  LintModel model = LintModelOf(manifest);
  if (!ApplyInstallDir(options, &model, err)) return EXIT_USAGE;
  std::vector<Finding> findings;
  LintPayload(model, &findings);
  *err += FormatFindings(path, findings);
  size_t errors = CountErrors(findings);
  if (errors && !options.force) {
    *err += path + ": " + Count(errors, "error") + "; nothing written (--force writes anyway)\n";
    return EXIT_FAILED;
  }
  // Even --force does not write what the uninstaller's reader would refuse.
  if (!pack::ValidatePayload(manifest.payload, &error)) {
    *err += path + ": " + error + "; nothing written\n";
    return EXIT_FAILED;
  }
  pack::Bytes payload = pack::EncodePayload(manifest.payload);
  pack::Bytes result;
  if (options.payloadOnly) {
    result = payload;
  } else {
    pack::Bytes stub;
    if (!ReadWholeFile(options.stub, &stub, &error)) {
      *err += error + "\n";
      return EXIT_FAILED;
    }
    if (!pack::AttachPayload(stub, payload, &result, &error)) {
      *err += options.stub + ": " + error + "\n";
      return EXIT_FAILED;
    }
  }
  if (!WriteFileAtomically(options.output, result, &error)) {
    *err += error + "\n";
    return EXIT_FAILED;
  }
  const pack::Payload& p = manifest.payload;
  *out += "wrote " + options.output + ": " +
          (options.payloadOnly
               ? ""
               : std::to_string(result.size() - payload.size()) + " bytes of program, ") +
          std::to_string(payload.size()) + " bytes of payload (" + Count(p.files.size(), "file") +
          ", " + Count(p.shortcuts.size(), "shortcut") + ", " +
          Count(p.registry.size(), "registry entry", "registry entries") + ", " +
          Count(p.folderTrees.size(), "folder tree") + ", " + Count(p.messages.size(), "message") +
          (p.hasExtension ? ", extension library" : "") + ")\n";
  return EXIT_DONE;
}

int Dump(const Options& options, std::string* out, std::string* err) {
  if (options.inputs.size() != 1) {
    *err += "dump needs one file\n";
    return EXIT_USAGE;
  }
  const std::string& path = options.inputs[0];
  pack::Bytes data;
  std::string error;
  if (!ReadWholeFile(path, &data, &error)) {
    *err += error + "\n";
    return EXIT_FAILED;
  }
  PayloadScan scan = ScanPayloadFile(data);
  *out += options.json ? DumpJson(path, scan) : DumpText(path, scan);
  return DumpSucceeded(scan) ? EXIT_DONE : EXIT_FAILED;
}

int Verify(const Options& options, std::string* out, std::string* err) {
  if (options.inputs.size() != 1) {
    *err += "verify needs one manifest or payload file\n";
    return EXIT_USAGE;
  }
  const std::string& path = options.inputs[0];
  pack::Bytes data;
  std::string error;
  if (!ReadWholeFile(path, &data, &error)) {
    *err += error + "\n";
    return EXIT_FAILED;
  }
  std::vector<Finding> findings;
  LintModel model;
  if (LooksLikeManifest(data)) {
    Manifest manifest;
    if (!LoadManifest(path, data, &manifest, err)) return EXIT_FAILED;
    model = LintModelOf(manifest);
  } else {
    model = LintModelOf(ScanPayloadFile(data), &findings);
  }
  if (!ApplyInstallDir(options, &model, err)) return EXIT_USAGE;
  LintPayload(model, &findings);
  *out += FormatFindings(path, findings);
  size_t errors = CountErrors(findings);
  *out += path + ": " + Count(errors, "error") + ", " + Count(findings.size() - errors, "warning") +
          "\n";
  return errors ? EXIT_FAILED : EXIT_DONE;
}

// The manifest goes to stdout (or -o); everything said about it to
// stderr, so that `scan DIR > app.json` gives a clean file.
int Scan(const Options& options, std::string* out, std::string* err) {
  if (options.inputs.size() != 1) {
    *err += "scan needs one staged installation folder\n";
    return EXIT_USAGE;
  }
  const std::string& root = options.inputs[0];
  const std::string name = options.name.empty() ? DefaultApplicationName(root) : options.name;
  std::u16string installDir, ignored;
  if (!pack::FromUtf8(options.installDir.empty() ? "C:\\Program Files\\" + name + "\\"
                                                 : options.installDir,
                      &installDir) ||
      !pack::FromUtf8(name, &ignored)) {
    *err += "--name and --install-dir must be valid UTF-8\n";
    return EXIT_USAGE;
  }
  if (installDir.empty() || installDir.back() != u'\\') installDir.push_back(u'\\');

  StageScan scan = ScanStagedFolder(root);
  *err += FormatFindings(root, scan.findings);
  std::string text = StageManifestText(scan, name, installDir);

  // The manifest's own checks, as build will make them; a finding names the
  // staged file behind the entry.
  const std::string label = options.output.empty() ? "manifest" : options.output;
  Manifest manifest;
  std::string error;
  if (!ParseManifest(text, ".", &manifest, &error)) {
    *err += label + ": " + error + "\n";
    return EXIT_FAILED;
  }
  std::vector<Finding> findings;
  LintPayload(LintModelOf(manifest), &findings);
  for (Finding& finding : findings) {
    unsigned long index = 0;
    if (sscanf(finding.where.c_str(), "files[%lu]", &index) == 1 && index < scan.items.size())
      finding.where += " (" + scan.items[index].hostPath + ")";
  }
  *err += FormatFindings(label, findings);
  size_t errors = CountErrors(scan.findings) + CountErrors(findings);
  if (errors && !options.force) {
    *err += root + ": " + Count(errors, "error") + "; nothing written (--force writes anyway)\n";
    return EXIT_FAILED;
  }
  std::string summary = Count(scan.files, "file") + " and " + Count(scan.folders, "folder") +
                        " (" + Count(scan.fonts, "font") + ", " +
                        Count(scan.components, "self-registering library",
                              "self-registering libraries") +
                        ")";
  if (options.output.empty()) {
    *out += text;
    *err += root + ": " + summary + "\n";
    return EXIT_DONE;
  }
  if (!WriteFileAtomically(options.output, pack::Bytes(text.begin(), text.end()), &error)) {
    *err += error + "\n";
    return EXIT_FAILED;
  }
  *out += "wrote " + options.output + ": " + summary + "\n";
  return EXIT_DONE;
}

}  // namespace

int RunPack(const std::vector<std::string>& args, std::string* out, std::string* err) {
  Options options;
  std::string error;
  if (!ParseOptions(args, &options, &error)) {
    *err += "retrax-pack: " + error + "\n" + kUsage;
    return EXIT_USAGE;
  }
  if (options.help) {
    *out += kUsage;
    return EXIT_DONE;
  }
  if (options.command == "build") return Build(options, out, err);
  if (options.command == "dump") return Dump(options, out, err);
  if (options.command == "verify") return Verify(options, out, err);
  if (options.command == "scan") return Scan(options, out, err);
  *err += (options.command.empty() ? std::string("retrax-pack: no command given\n")
                                   : "retrax-pack: unknown command " + options.command + "\n") +
          kUsage;
  return EXIT_USAGE;
}

}  // namespace packtool
