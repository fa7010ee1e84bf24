#include "Replay.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "Formula.h"
#include "HostError.h"
#include "LoadedLibrary.h"
#include "ReplayChart.h"
#include "ReplayFolder.h"
#include "ReplayJournal.h"
#include "Text.h"

namespace msxhost {
namespace {

using Kind = FormulaNode::Kind;

constexpr const char* kTradeQuik = "TradeQuik";

// ---- Values followed through the replay -----------------------------------

// One bar's value in one calculation: none where the bar was not
// calculated, no value outside the series' valid range.
struct Cell {
  bool calculated = false;
  bool valid = false;
  float value = 0;

  // Bit for bit, a NaN equal to any NaN.
  bool operator==(const Cell& other) const {
    if (calculated != other.calculated || valid != other.valid) return false;
    if (!valid) return true;
    if (std::isnan(value) && std::isnan(other.value)) return true;
    return std::memcmp(&value, &other.value, sizeof value) == 0;
  }
  std::string Text() const { return !calculated ? "" : (valid ? FormatFloat(value) : "-"); }
};

Cell CellOf(std::span<const float> values, int32_t first, int32_t last, int32_t bar) {
  const bool valid = bar >= first && bar <= last && bar < static_cast<int32_t>(values.size());
  return {true, valid, valid ? values[static_cast<std::size_t>(bar)] : 0.0f};
}

// A value of the formula, per live bar: while the bar was the last one
// (opening, complete), in the first calculation that had it complete
// (settled), and over the whole chart at the end (atEnd).
struct Track {
  std::string label;
  const FormulaNode* node = nullptr;  // what the value is: the formula or an argument of a call
  bool shown = true;                  // in the values section
  std::vector<Cell> open, complete, settled, atEnd;
  int32_t settledTo = -1;  // live bars 0 to settledTo are settled

  void Record(std::span<const float> values, int32_t first, int32_t last, int32_t liveFirst,
              int32_t lastBar, bool opening) {
    if (lastBar >= liveFirst) {
      const auto j = static_cast<std::size_t>(lastBar - liveFirst);
      (opening ? open : complete)[j] = CellOf(values, first, last, lastBar);
    }
    const int32_t settle = (opening ? lastBar - 1 : lastBar) - liveFirst;
    for (; settledTo < settle; ++settledTo)
      settled[static_cast<std::size_t>(settledTo + 1)] =
          CellOf(values, first, last, liveFirst + settledTo + 1);
  }
};

bool CallsTradeQuik(const FormulaNode& node) {
  if (node.kind == Kind::kCall && EqualsIgnoreCase(node.text, kTradeQuik)) return true;
  return std::any_of(node.arguments.begin(), node.arguments.end(), CallsTradeQuik);
}

std::string ArgumentName(const FunctionInfo& function, std::size_t k) {
  std::string name = function.arguments[k].name;
  if (name.ends_with("[]")) name.resize(name.size() - 2);
  return name;
}

// The argument of that name (without "[]", any case); npos when none.
std::size_t ArgumentNamed(const FunctionInfo& function, std::string_view name) {
  for (std::size_t k = 0; k < function.arguments.size(); ++k)
    if (EqualsIgnoreCase(ArgumentName(function, k), name)) return k;
  return std::string::npos;
}

// A TradeQuik call of the formula and the tracks of its series arguments.
struct Instance {
  const FormulaNode* call = nullptr;
  int32_t ident = 0;
  std::map<std::size_t, std::size_t> tracks;  // argument index -> index into the tracks
  std::size_t shortLong = std::string::npos, quantity = std::string::npos;  // argument indexes
  std::vector<std::optional<int64_t>> sent;  // per live bar, after its calculations
};

// The position in lots the formula wants on a bar: the sign of the rounded
// signal times the rounded unit; none where either has no value.
std::optional<int64_t> WantedLots(const Cell& signal, const Cell& unit) {
  if (!signal.valid || !unit.valid || !std::isfinite(signal.value) || !std::isfinite(unit.value))
    return std::nullopt;
  const double s = std::nearbyint(static_cast<double>(signal.value));
  const double u = std::nearbyint(static_cast<double>(unit.value));
  if (std::fabs(u) > 2147483647.0) return std::nullopt;
  return (s > 0 ? 1 : (s < 0 ? -1 : 0)) * static_cast<int64_t>(u);
}

// ---- The run --------------------------------------------------------------

// Columns padded to a width, at least one blank between them.
std::string Column(std::string text, std::size_t width) {
  text.resize(std::max(width, text.size() + 1), ' ');
  return text;
}

class Replay {
 public:
  Replay(const Chart& chart, const FormulaNode& formula, const LivePart& live,
         const LoadedLibrary& library, const ReplaySettings& settings, std::string folder)
      : chart_(chart),
        formula_(formula),
        live_(live),
        library_(library),
        folder_(std::move(folder)),
        tradeQuik_(CallsTradeQuik(formula)),
        orders_(settings.transactionFiles),
        journal_(settings.journals) {
    if (!tradeQuik_) NewTrack("the formula", &formula_, true);
  }

  void Run() {
    Calculate(live_.first - 1, false, "arming");
    for (int32_t bar = live_.first; bar < chart_.barCount(); ++bar) {
      if (!live_.skipped[LiveIndex(bar)]) {
        if (live_.opening) Calculate(bar, true, "open");
        Calculate(bar, false, "complete");
      }
      for (Instance& instance : instances_) instance.sent[LiveIndex(bar)] = Ledger(instance.ident);
    }
    Finish();
  }

  std::string Report() const;

 private:
  std::size_t LiveIndex(int32_t bar) const { return static_cast<std::size_t>(bar - live_.first); }
  std::size_t LiveBars() const { return LiveIndex(chart_.barCount()); }

  std::size_t NewTrack(std::string label, const FormulaNode* node, bool shown) {
    Track track{std::move(label), node, shown, {}, {}, {}, {}, -1};
    for (std::vector<Cell>* cells : {&track.open, &track.complete, &track.settled, &track.atEnd})
      cells->resize(LiveBars());
    tracks_.push_back(std::move(track));
    return tracks_.size() - 1;
  }

  std::optional<int64_t> Ledger(int32_t ident) const {
    const auto it = ledgers_.find(ident);
    return it == ledgers_.end() ? std::nullopt : it->second.position();
  }

  // The instance of a TradeQuik call, made with its tracks when first seen.
  Instance& InstanceOf(const LibraryCall& call) {
    for (Instance& instance : instances_)
      if (instance.call == &call.node) return instance;
    Instance instance;
    instance.call = &call.node;
    instance.ident =
        call.numbers.empty() ? 0 : static_cast<int32_t>(std::nearbyint(call.numbers.front()));
    instance.shortLong = ArgumentNamed(call.function, "ShortLong");
    instance.quantity = ArgumentNamed(call.function, "Quantity");
    instance.sent.resize(LiveBars());
    for (std::size_t k = 0; k < call.series.size(); ++k) {
      if (call.series[k] == nullptr) continue;
      const FormulaNode& argument = call.node.arguments[k];
      const bool computed = argument.kind == Kind::kCall || argument.kind == Kind::kOperator;
      instance.tracks[k] = NewTrack(
          Cat(ArgumentName(call.function, k), " of TradeQuik Ident ", FormatInt(instance.ident)),
          &argument, computed && !CallsTradeQuik(argument));
    }
    instances_.push_back(std::move(instance));
    return instances_.back();
  }

  void Observe(const LibraryCall& call, int32_t lastBar, bool opening) {
    if (!EqualsIgnoreCase(call.function.name, kTradeQuik)) {
      failure_.reset();
      return;
    }
    Instance& instance = InstanceOf(call);
    for (const auto& [k, track] : instance.tracks) {
      const HostArray& array = *call.series[k];
      tracks_[track].Record(array.values(), array.first(), array.last(), live_.first, lastBar,
                            opening);
    }
    failure_.reset();
    if (call.returned != 0)
      failure_ =
          Cat("TradeQuik Ident ", FormatInt(instance.ident), " returned ", FormatInt(call.returned),
              call.extendedError.empty() ? "" : Cat(": ", WithoutFolder(call.extendedError)));
  }

  // The library's message without the replay's folder in file names.
  std::string WithoutFolder(std::string text) const {
    for (std::size_t at; (at = text.find(folder_)) != std::string::npos;) {
      std::size_t end = at + folder_.size();
      if (end < text.size() && (text[end] == '/' || text[end] == '\\')) ++end;
      text.erase(at, end - at);
    }
    return text;
  }

  void Calculate(int32_t lastBar, bool opening, const char* what) {
    const Chart grown = GrownChart(chart_, lastBar, opening);
    const ChartRecords records(grown);
    const CallObserver observer = [&](const LibraryCall& call) { Observe(call, lastBar, opening); };
    failure_.reset();
    const std::string label = Column(BarText(chart_, lastBar), DateWidth()) + Column(what, 9);
    try {
      const FormulaResult result = EvaluateFormula(formula_, grown, records, library_, observer);
      if (!tradeQuik_)
        tracks_.front().Record(result.values, result.first, result.last, live_.first, lastBar,
                               opening);
    } catch (const HostError& e) {
      if (e.exitCode() != kExitFailure || !failure_) throw;
      events_.push_back(label + *failure_);
    }
    for (const std::string& line : orders_.NewLines()) {
      events_.push_back(label + line);
      ++ordersSent_;
    }
    for (const JournalRow& row : journal_.NewRows())
      if (row.ident) ledgers_[*row.ident].Add(row);
  }

  // The whole chart's values: each tracked value evaluated alone, so that
  // no TradeQuik call runs again.
  void Finish() {
    const ChartRecords records(chart_);
    for (Track& track : tracks_) {
      if (CallsTradeQuik(*track.node)) continue;
      const FormulaResult result = EvaluateFormula(*track.node, chart_, records, library_);
      for (int32_t bar = live_.first; bar < chart_.barCount(); ++bar)
        track.atEnd[LiveIndex(bar)] = CellOf(result.values, result.first, result.last, bar);
    }
  }

  std::size_t DateWidth() const { return chart_.hasTime ? 18 : 12; }
  std::string PositionTable(const Instance& instance, std::vector<bool>& outOfStep) const;
  std::string ValueTable(const Track& track, int32_t& repaints) const;

  const Chart& chart_;
  const FormulaNode& formula_;
  const LivePart& live_;
  const LoadedLibrary& library_;
  std::string folder_;
  bool tradeQuik_;
  LineWatch orders_;
  JournalWatch journal_;
  std::vector<Track> tracks_;
  std::vector<Instance> instances_;
  std::map<int32_t, PositionLedger> ledgers_;
  std::optional<std::string> failure_;  // the TradeQuik failure of the calculation running
  std::vector<std::string> events_;
  int32_t ordersSent_ = 0;
};

std::string Lots(const std::optional<int64_t>& lots) { return lots ? FormatInt(*lots) : "-"; }

std::string Replay::PositionTable(const Instance& instance, std::vector<bool>& outOfStep) const {
  const std::size_t dateWidth = DateWidth();
  std::string out = Cat("positions of TradeQuik Ident ", FormatInt(instance.ident), ", in lots:\n");
  if (instance.shortLong == std::string::npos || instance.quantity == std::string::npos)
    return out + "  (no ShortLong or Quantity argument)\n";
  if (std::none_of(instance.sent.begin(), instance.sent.end(),
                   [](const std::optional<int64_t>& s) { return s.has_value(); }))
    return out + "  (the journal has no row that arms it: nothing to add the orders to)\n";
  out += Column("date", dateWidth) + Column("wanted", 10) + "sent\n";
  const Track& signal = tracks_[instance.tracks.at(instance.shortLong)];
  const Track& unit = tracks_[instance.tracks.at(instance.quantity)];
  for (std::size_t j = 0; j < LiveBars(); ++j) {
    // A bar never calculated as the last one counts as the next calculation
    // saw it, or as the whole chart has it when none came after.
    const bool settled = signal.settled[j].calculated && unit.settled[j].calculated;
    const std::optional<int64_t> wanted = settled ? WantedLots(signal.settled[j], unit.settled[j])
                                                  : WantedLots(signal.atEnd[j], unit.atEnd[j]);
    const std::optional<int64_t>& sent = instance.sent[j];
    std::string row = Column(BarText(chart_, live_.first + static_cast<int32_t>(j)), dateWidth) +
                      Column(Lots(wanted), 10) + Lots(sent);
    const bool differ = wanted && sent && *wanted != *sent;
    if (differ) outOfStep[j] = true;
    if (differ || live_.skipped[j])
      row = Column(row, dateWidth + 20) + (differ ? "out of step" : "") +
            (live_.skipped[j] ? (differ ? " (skipped)" : "(skipped)") : "");
    out += row + "\n";
  }
  return out;
}

std::string Replay::ValueTable(const Track& track, int32_t& repaints) const {
  const std::size_t dateWidth = DateWidth();
  std::string out = track.label + ":\n" + Column("date", dateWidth) +
                    (live_.opening ? Column("open", 14) : "") + Column("complete", 14) + "final\n";
  for (std::size_t j = 0; j < LiveBars(); ++j) {
    std::string row = Column(BarText(chart_, live_.first + static_cast<int32_t>(j)), dateWidth) +
                      (live_.opening ? Column(track.open[j].Text(), 14) : "") +
                      Column(track.complete[j].Text(), 14) + track.atEnd[j].Text();
    const bool repainted = track.complete[j].calculated && track.atEnd[j].calculated &&
                           !(track.complete[j] == track.atEnd[j]);
    if (repainted) ++repaints;
    if (repainted || live_.skipped[j])
      row = Column(row, dateWidth + (live_.opening ? 42 : 28)) +
            (repainted ? "repaints" : "(skipped)");
    out += row + "\n";
  }
  return out;
}

std::string Replay::Report() const {
  const int32_t bars = chart_.barCount();
  std::string out =
      Cat("replay of ", chart_.symbol, " (", std::string(1, chart_.period),
          chart_.period == 'I' || chart_.period == 'i' ? Cat(" ", FormatInt(chart_.interval)) : "",
          "), ", FormatInt(bars), " bars\narming: ", FormatInt(live_.first), " bars, ",
          BarText(chart_, 0), " to ", BarText(chart_, live_.first - 1),
          "\nlive: ", FormatInt(bars - live_.first), " bars, ", BarText(chart_, live_.first),
          " to ", BarText(chart_, bars - 1),
          live_.opening ? ", each calculated on opening and complete\n"
                        : ", each calculated complete\n");
  std::string skipped;
  for (std::size_t j = 0; j < LiveBars(); ++j)
    if (live_.skipped[j])
      skipped +=
          Cat(skipped.empty() ? "" : ", ", BarText(chart_, live_.first + static_cast<int32_t>(j)));
  if (!skipped.empty()) out += "skipped: " + skipped + "\n";

  out += "\norders sent and TradeQuik failures:\n";
  for (const std::string& event : events_) out += event + "\n";
  if (events_.empty()) out += "  none\n";

  std::vector<bool> outOfStep(LiveBars(), false);
  for (const Instance& instance : instances_) out += Cat("\n", PositionTable(instance, outOfStep));

  int32_t repaints = 0;
  bool heading = false;
  for (const Track& track : tracks_) {
    if (!track.shown) continue;
    if (!heading)
      out += "\nvalues while each bar was the last one, against the whole chart at the end:\n";
    heading = true;
    out += ValueTable(track, repaints);
  }
  out +=
      Cat("\norders sent: ", FormatInt(ordersSent_),
          ", bars out of step: ", FormatInt(std::count(outOfStep.begin(), outOfStep.end(), true)),
          ", bars that repaint: ", FormatInt(repaints), "\n");
  return out;
}

}  // namespace

std::string ReplayUsage() {
  return "  msxhost replay FORMULA --data FILE.csv [--live N | --live-from DATE]\n"
         "               [--skip DATE]... [--ticks open|close] [--keep DIR]\n"
         "               [--from DATE] [--to DATE] [--last N] [chart options] [--lib PATH]\n"
         "      Plays the chart live, as a host would: its first bar stays put and it\n"
         "      grows by one bar at a time. One calculation over the bars before the\n"
         "      live part (the last N bars, default 20, or those from DATE on) arms\n"
         "      TradeQuik. Then each live bar is calculated as it has just opened (its\n"
         "      open, high, low and close at its open, or at the bar before's close\n"
         "      where the data has no open; volume 0; extra columns as on the bar\n"
         "      before), and again complete. --ticks close leaves out the opening\n"
         "      calculations. --skip DATE: no calculation while that bar (intraday:\n"
         "      any bar of that day) is the last one, as when the host was closed.\n"
         "      Prints every order line sent, with its bar and calculation, and every\n"
         "      TradeQuik call that returned -1; per TradeQuik Ident, the position\n"
         "      wanted on each complete bar (the signal's sign times the quantity)\n"
         "      against the one the orders sent add up to, in lots, from TradeQuik's\n"
         "      journal; and each value (TradeQuik's computed series arguments, else\n"
         "      the formula's result) as it was while its bar was the last one against\n"
         "      the whole chart at the end, marked \"repaints\" where it changed after\n"
         "      the bar closed. It runs in one library session on a copy of the\n"
         "      library in a folder of its own, also the working directory: the\n"
         "      settings beside --lib come along without the bars and orders TradeQuik\n"
         "      remembered, with every transaction file, journal and trade folder\n"
         "      moved into the folder (without --lib: ClassCode and SecCode REPLAY).\n"
         "      --keep DIR: the folder is DIR, new or empty, and stays; otherwise it\n"
         "      is removed at the end.\n";
}

std::string RunReplay(const Chart& chart, const ReplayRequest& request) {
  const FormulaNode formula = ParseFormula(request.formula);
  const LivePart live = ParseLivePart(chart, request);
  const std::string library = AbsolutePath(request.library);

  // Destroyed in reverse: the library unloads, the working directory comes
  // back, then the folder goes.
  const ReplayFolder folder(request.keep);
  ReplaySettings settings;
  const std::string copy =
      folder.InstallLibrary(library, request.ownSettings, SecuritySection(chart), settings);
  const WorkingDirectory inFolder(folder.path());
  const LoadedLibrary loaded(copy);
  Replay replay(chart, formula, live, loaded, settings, folder.path());
  replay.Run();
  return replay.Report();
}

}  // namespace msxhost
