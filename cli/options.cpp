#include "options.h"

#include "startup.h"

#include <cstdio>

namespace {

const char kDescription[] =
    "The acquisition core on the command line: list the attached instruments, or open one\n"
    "(or simulate a model), load and save files, capture and print what the windows would\n"
    "show.\n"
    "\n"
    "  velkcli [--emulate MODEL[,MODEL...]] list [--verbose]\n"
    "  velkcli [--emulate MODEL[,MODEL...]] [--device N | --demo MODEL] [--load FILE]\n"
    "          [--autoset] [--capture single|repeat N|auto N] [--digital] [--measure]\n"
    "          [--decode] [--edges] [--search PATTERN] [--spectrum FILE.csv [--dft FROM TO]]\n"
    "          [--save FILE] [--save-settings] [info]\n"
    "\n"
    "MODEL: Ardent, Brisk, Cobalt, Dorian, Dorian-12 (--emulate also takes Fenwick).\n"
    "Options take their value as the next argument or after '=' (--device=1,\n"
    "--capture=repeat,3, --dft=0,1023). Status texts go to standard error, results to\n"
    "standard output; the exit status is 0 only when everything asked for was done\n"
    "(1: it could not be done, 2: the command line was refused).";

struct TOptionDef {
  const char *name;
  const char *description;
  const char *valueName; // nullptr: a switch
};

const TOptionDef kOptions[] = {
    {"emulate",
     "Emulate these instruments (USB descriptions, comma-separated) instead of the attached "
     "ones.",
     "MODEL[,MODEL...]"},
    {"device", "Open instrument N of the list (0, the first, by default).", "N"},
    {"demo", "Simulate a model (demo mode) even when instruments are attached.", "MODEL"},
    {"load", "Open a project (.prj) or settings (.set) file before anything else.", "FILE"},
    {"autoset", "Run autoset on the instrument; it ends with a single capture (not in demo mode).",
     nullptr},
    {"capture",
     "Capture once (single), N times back to back (repeat N) or N times with the trigger forced "
     "after one buffer time (auto N).",
     "single|repeat N|auto N"},
    {"digital",
     "On the scope-and-logic model: the digital trigger for --capture (the logic window's "
     "button) and the logic samples for a .bin or .txt export of --save.",
     nullptr},
    {"measure", "Print the measurements of channels A and B.", nullptr},
    {"decode", "Print the values of the interpreters.", nullptr},
    {"edges", "Print the edge counts (the edge counter must be on).", nullptr},
    {"search",
     "Print the first sample that matches the pattern: 0, 1 or X per channel, channel 1 first "
     "(instruments with logic channels).",
     "PATTERN"},
    {"spectrum", "Write the spectrum of the analog samples as CSV.", "FILE.csv"},
    {"dft", "With --spectrum: a DFT of the samples FROM to TO.", "FROM TO"},
    {"save",
     "Save a project (.prj with .dtd/.dta/.dtb), settings (.set), binary (.bin) or text (.txt) "
     "export.",
     "FILE"},
    {"save-settings", "Write the instrument's settings file at the end.", nullptr},
    {"verbose",
     "With list: every FTDI device on the USB too, with bus and address, vendor and product id, "
     "description and why it is or is not offered.",
     nullptr},
};

// Options that only make sense with an open instrument.
const char *const kSessionOptions[] = {"device",   "demo",    "load",   "autoset",      "capture",
                                       "digital",  "measure", "decode", "edges",        "search",
                                       "spectrum", "dft",     "save",   "save-settings"};

bool IsCount(const QString &s) {
  bool ok = false;
  s.toInt(&ok);
  return ok;
}

} // namespace

QStringList JoinTwoValueOptions(const QStringList &arguments) {
  QStringList out;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString &a = arguments[i];
    if (a == QStringLiteral("--")) {
      out += arguments.mid(i);
      break;
    }
    const bool capture =
        a == QStringLiteral("--capture") || a.startsWith(QStringLiteral("--capture="));
    const bool dft = a == QStringLiteral("--dft") || a.startsWith(QStringLiteral("--dft="));
    if (!capture && !dft) {
      out << a;
      continue;
    }
    const QString name = capture ? QStringLiteral("--capture") : QStringLiteral("--dft");
    QString value;
    if (a.contains(u'=')) {
      value = a.mid(a.indexOf(u'=') + 1);
    } else if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QStringLiteral("--"))) {
      value = arguments[++i];
    } else {
      out << a; // the parser says that the value is missing
      continue;
    }
    // The second value follows as its own argument unless it came with the first.
    const bool wantsSecond = !value.contains(u',') && (dft || value == QStringLiteral("repeat") ||
                                                       value == QStringLiteral("auto"));
    if (wantsSecond && i + 1 < arguments.size() && (dft || IsCount(arguments[i + 1])))
      value += u',' + arguments[++i];
    out << name + u'=' + value;
  }
  return out;
}

TCommandLine::TCommandLine() {
  fParser.setApplicationDescription(QString::fromLatin1(kDescription));
  fParser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                       QStringLiteral("Show this text.")));
  fParser.addOption(QCommandLineOption(QStringLiteral("version"),
                                       QStringLiteral("Show the version of velkcli.")));
  for (const TOptionDef &d : kOptions) {
    QCommandLineOption option(QString::fromLatin1(d.name), QString::fromLatin1(d.description));
    if (d.valueName) option.setValueName(QString::fromLatin1(d.valueName));
    fParser.addOption(option);
  }
  fParser.addPositionalArgument(
      QStringLiteral("command"),
      QStringLiteral("list: the attached instruments (index, model code, description); "
                     "info: what the open instrument is and offers."),
      QStringLiteral("[list|info]"));
}

QString TCommandLine::Usage() const {
  return fParser.helpText();
}

int TCommandLine::Problem(const QString &text) const {
  std::fprintf(stderr, "velkcli: %s\nRun 'velkcli --help' for the options.\n",
               text.toLocal8Bit().constData());
  return 2;
}

int TCommandLine::Parse(const QStringList &arguments) {
  if (!fParser.parse(JoinTwoValueOptions(arguments))) return Problem(fParser.errorText());
  if (fParser.isSet(QStringLiteral("help"))) {
    std::fputs(Usage().toLocal8Bit().constData(), stdout);
    return 0;
  }
  if (fParser.isSet(QStringLiteral("version"))) {
    std::printf("velkcli %s\n", VELK_VERSION);
    return 0;
  }
  QString problem;
  if (!Check(problem)) return Problem(problem);
  return -1;
}

bool TCommandLine::Check(QString &problem) {
  TOptions &o = fOptions;
  TAnalysisOptions &a = o.analysis;
  auto set = [&](const char *name) { return fParser.isSet(QString::fromLatin1(name)); };
  auto value = [&](const char *name) { return fParser.value(QString::fromLatin1(name)); };
  auto fail = [&](const QString &text) {
    problem = text;
    return false;
  };

  const QStringList positional = fParser.positionalArguments();
  if (positional.size() > 1)
    return fail(QStringLiteral("one command at a time (list or info), not ") +
                positional.join(u' '));
  if (!positional.isEmpty()) {
    o.command = positional.first();
    if (o.command != QStringLiteral("list") && o.command != QStringLiteral("info"))
      return fail(QStringLiteral("unknown command ") + o.command +
                  QStringLiteral(" (list or info)"));
  }
  if (o.command == QStringLiteral("list"))
    for (const char *name : kSessionOptions)
      if (set(name))
        return fail(QStringLiteral("list takes no --%1").arg(QString::fromLatin1(name)));

  o.verbose = set("verbose");
  if (o.verbose && o.command != QStringLiteral("list"))
    return fail(QStringLiteral("--verbose goes with list"));

  if (set("emulate")) {
    o.emulate = value("emulate");
    if (o.emulate.trimmed().isEmpty()) return fail(QStringLiteral("--emulate needs a model list"));
  }
  if (set("device")) {
    bool ok = false;
    o.device = value("device").toInt(&ok);
    if (!ok || o.device < 0) return fail(QStringLiteral("--device needs a number from the list"));
    o.deviceSet = true;
  }
  if (set("demo")) {
    o.demo = value("demo");
    bool known = false;
    for (const char *m : kSimulatedModels)
      known |= o.demo.compare(QString::fromLatin1(m), Qt::CaseInsensitive) == 0;
    if (!known)
      return fail(QStringLiteral("--demo takes Ardent, Brisk, Cobalt, Dorian or Dorian-12"));
    if (o.deviceSet)
      return fail(QStringLiteral("--device picks an attached instrument, --demo simulates one: "
                                 "not both"));
  }
  for (const char *name : {"load", "save", "spectrum", "search"})
    if (set(name) && value(name).isEmpty())
      return fail(QStringLiteral("--%1 needs a value").arg(QString::fromLatin1(name)));
  o.load = value("load");
  o.save = value("save");
  if (!o.save.isEmpty()) {
    const QString ext = o.save.mid(o.save.lastIndexOf(u'.') + 1).toLower();
    if (!o.save.contains(u'.') || o.save.lastIndexOf(u'.') < o.save.lastIndexOf(u'/') ||
        !QStringList{QStringLiteral("prj"), QStringLiteral("set"), QStringLiteral("bin"),
                     QStringLiteral("txt")}
             .contains(ext))
      return fail(QStringLiteral("--save takes a .prj, .set, .bin or .txt file"));
  }
  o.saveSettings = set("save-settings");
  o.digital = a.Digital = set("digital");
  a.Autoset = set("autoset");
  a.Measure = set("measure");
  a.Decode = set("decode");
  a.Edges = set("edges");
  a.Search = value("search");
  a.Spectrum = value("spectrum");

  if (set("capture")) {
    const QStringList parts = value("capture").split(u',');
    const QString mode = parts.first();
    if (mode == QStringLiteral("single") && parts.size() == 1) {
      a.Capture = mode;
    } else if (mode == QStringLiteral("repeat") || mode == QStringLiteral("auto")) {
      bool ok = false;
      a.Count = parts.size() == 2 ? parts[1].toInt(&ok) : 0;
      if (!ok || a.Count < 1)
        return fail(QStringLiteral("--capture repeat and auto need a number of captures"));
      a.Capture = mode;
    } else {
      return fail(QStringLiteral("--capture needs single, repeat N or auto N"));
    }
  }
  if (a.Autoset && !o.demo.isEmpty())
    return fail(QStringLiteral("--autoset needs an instrument; demo mode has none"));
  if (set("dft")) {
    const QStringList parts = value("dft").split(u',');
    bool ok1 = false, ok2 = false;
    if (parts.size() == 2) {
      a.DftFrom = parts[0].toUInt(&ok1);
      a.DftTo = parts[1].toUInt(&ok2);
    }
    if (!ok1 || !ok2) return fail(QStringLiteral("--dft needs two sample numbers, FROM and TO"));
    if (a.Spectrum.isEmpty()) return fail(QStringLiteral("--dft applies to --spectrum only"));
    if (a.DftFrom > a.DftTo) return fail(QStringLiteral("--dft: FROM lies after TO"));
    a.Dft = true;
  }
  if (!a.Search.isEmpty()) {
    if (a.Search.size() > 32) return fail(QStringLiteral("--search takes at most 32 channels"));
    for (QChar c : a.Search)
      if (QStringLiteral("01xX").indexOf(c) < 0)
        return fail(QStringLiteral("--search takes 0, 1 or X per channel"));
  }
  if (o.digital && a.Capture.isEmpty() && o.save.isEmpty())
    return fail(QStringLiteral("--digital applies to --capture and --save"));
  // The analyses work on samples: a capture's or a loaded project's.
  const bool samples = !a.Capture.isEmpty() || a.Autoset || !o.load.isEmpty();
  for (const char *name : {"measure", "decode", "edges", "search", "spectrum"})
    if (set(name) && !samples)
      return fail(QStringLiteral("--%1 needs samples: --capture, --autoset or --load a project")
                      .arg(QString::fromLatin1(name)));
  return true;
}
