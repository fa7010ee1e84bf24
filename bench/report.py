#!/usr/bin/env python3
"""Writes docs/performance.md from a Google Benchmark JSON file.

    report.py RESULTS.json LOADAVG TABLE.tsv BUILD_DIR OUTPUT.md [PRODUCT.tsv]

RESULTS.json is the output of msx_bench run with --benchmark_repetitions=N
(N >= 1) and --benchmark_out_format=json; LOADAVG a copy of /proc/loadavg
taken when the run ended (the results hold the load when it started); TABLE.tsv (bench/report.tsv) gives
each benchmark's function, parameters, target and cost model. Every figure is
taken from RESULTS.json: medians of the repetitions, CPU time; target met or
not is worked out here. The machine (CPU, compiler, build type) is read from
/proc/cpuinfo, the build folder and the compiler itself, so run this on the
machine that ran the benchmarks. PRODUCT.tsv, the output of bench/product.py,
adds the product DLL beside native and the ratios between window lengths.

Fails (exit status 1, nothing written) when a benchmark failed, or when the
results and the table do not name the same benchmarks.
"""

import json
import os
import re
import shlex
import statistics
import subprocess
import sys

TARGET = re.compile(r"^(ns/bar|ns/unit|ms/call) < ([0-9.]+)$")


def fail(message):
    sys.exit("report.py: " + message)


def read_table(path):
    models, benches = {}, []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            where = f"{path}:{number}"
            if fields[0] == "model" and len(fields) == 6:
                _, function, unit, fit, per, text = fields
                if not re.match(r"^(none|constant|linear .+)$", fit) or per not in ("bar", "call"):
                    fail(f"{where}: FIT or PER unknown")
                models[function] = {"unit": unit, "fit": fit, "per": per, "text": text}
            elif fields[0] == "bench" and len(fields) == 7:
                _, name, function, parameters, x, units, target = fields
                if target != "-" and not TARGET.match(target):
                    fail(f"{where}: target {target!r} is not 'ns/bar|ns/unit|ms/call < V'")
                benches.append({"name": name, "function": function, "parameters": parameters,
                                "x": x, "units": units, "target": target})
            else:
                fail(f"{where}: neither a model line of 6 fields nor a bench line of 7")
    for b in benches:
        if b["function"] not in models:
            fail(f"no model line for {b['function']}")
    return models, benches


NS_PER = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def read_results(path):
    """Per benchmark: CPU and wall ns per call of every repetition, and the
    median of each counter."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    runs = {}
    for r in data["benchmarks"]:
        if r.get("error_occurred"):
            fail(f"{r['name']} failed: {r.get('error_message', '')}")
        if r.get("run_type", "iteration") != "iteration":
            continue  # the aggregates are worked out below from the repetitions
        scale = NS_PER[r["time_unit"]]
        run = runs.setdefault(r["run_name"], {"cpu": [], "wall": [], "counters": {}})
        run["cpu"].append(r["cpu_time"] * scale)
        run["wall"].append(r["real_time"] * scale)
        for key, value in r.items():
            if key in ("ns_per_bar", "file_bytes", "file_lines", "orders_per_call", "trades"):
                run["counters"].setdefault(key, []).append(value)
    for run in runs.values():
        run["counters"] = {k: statistics.median(v) for k, v in run["counters"].items()}
    return data["context"], runs


def percent(fraction):
    """A share of a figure: one decimal below 10%."""
    return f"{fraction:.1%}" if fraction < 0.1 else f"{fraction:.0%}"


def significant(value, digits=3):
    """A figure with `digits` significant digits, without exponent."""
    if value == 0:
        return "0"
    decimals = max(0, digits - 1 - int(f"{abs(value):e}".split("e")[1]))
    return f"{value:,.{decimals}f}"


def measure(bench, run):
    cpu = statistics.median(run["cpu"])
    wall = statistics.median(run["wall"])
    ns_per_bar = run["counters"]["ns_per_bar"] * 1e9  # a rate in seconds per bar
    bars = cpu / ns_per_bar
    units = bench["units"]
    if units == "bars":
        count = bars
    elif units.startswith("bars*"):
        count = bars * float(units[5:])
    elif units in run["counters"]:
        count = run["counters"][units]
    else:
        fail(f"{bench['name']}: units {units!r} is neither bars[*N] nor a counter it reports")
    x = bench["x"]
    if x in run["counters"]:
        x = run["counters"][x]
    elif x != "-":
        x = float(x)
    spread = (max(run["cpu"]) - min(run["cpu"])) / cpu if cpu else 0.0
    m = {"cpu_ms": cpu / 1e6, "wall_ms": wall / 1e6, "ns_per_bar": ns_per_bar,
         "ns_per_unit": cpu / count, "x": x, "spread": spread, "reps": len(run["cpu"])}
    m["met"] = None
    if bench["target"] != "-":
        metric, bound = TARGET.match(bench["target"]).groups()
        value = {"ns/bar": m["ns_per_bar"], "ns/unit": m["ns_per_unit"],
                 "ms/call": m["cpu_ms"]}[metric]
        m["met"] = value < float(bound)
    return m


def target_text(bench, unit):
    if bench["target"] == "-":
        return "–"
    metric, bound = TARGET.match(bench["target"]).groups()
    what = {"ns/bar": "ns/bar", "ns/unit": f"ns per {unit}", "ms/call": "ms per call"}[metric]
    return f"< {bound} {what}"


def met_text(m):
    return "–" if m["met"] is None else ("yes" if m["met"] else "**no**")


def fit(model, rows, key):
    """The cost model fitted to the medians of a function's benchmarks in
    figure `key`: (a, b) of a + b X (b = 0 for a constant cost), or None when
    the model has no fit or too few benchmarks to test one."""
    kind = model["fit"].split(" ", 1)[0]
    ys = [m[key] for _, m in rows]
    if kind == "constant" and len(rows) >= 2:
        return statistics.fmean(ys), 0.0
    if kind == "linear" and len(rows) >= 2:
        xs = [m["x"] for _, m in rows]
        mx, my = statistics.fmean(xs), statistics.fmean(ys)
        b = sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / sum((x - mx) ** 2 for x in xs)
        return my - b * mx, b
    return None


def fit_key(model):
    return "ns_per_bar" if model["per"] == "bar" else "cpu_ms"


def deviation(model, rows, m):
    """How far a benchmark lies from its function's fitted model: only where
    the model has fewer parameters than benchmarks to fit."""
    parameters = {"constant": 1, "linear": 2}.get(model["fit"].split(" ", 1)[0], len(rows))
    ab = fit(model, rows, fit_key(model))
    if ab is None or len(rows) <= parameters:
        return "–"
    predicted = ab[0] + ab[1] * (m["x"] if model["fit"] != "constant" else 0.0)
    text = f"{(m[fit_key(model)] - predicted) / predicted:+.0%}"
    return "0%" if text in ("+0%", "-0%") else text


def fit_text(model, rows):
    """The cost model's check over a function's benchmarks, in the figure
    the model is stated in (ns per bar, or ms per call in CPU and wall time)."""
    kind, _, variable = model["fit"].partition(" ")
    keys = ["ns_per_bar"] if model["per"] == "bar" else ["cpu_ms", "wall_ms"]
    label = {"ns_per_bar": "ns/bar", "cpu_ms": "CPU ms per call", "wall_ms": "wall ms per call"}
    parts = []
    for key in keys:
        ab = fit(model, rows, key)
        if ab is None:
            return None
        a, b = ab
        ys = [m[key] for _, m in rows]
        if kind == "constant":
            worst = max(abs(y - a) / a for y in ys)
            parts.append(f"{label[key]} {significant(min(ys))} to {significant(max(ys))}, "
                         f"mean {significant(a)}, every median within {percent(worst)} of it")
        else:
            worst = max(abs(a + b * m["x"] - m[key]) / m[key] for _, m in rows)
            how = ("through both medians" if len(rows) == 2
                   else f"every median within {percent(worst)} of it")
            parts.append(f"{label[key]} = {significant(a)} + {significant(b)} × {variable} "
                         f"({how})")
    if kind == "constant":
        return "the same cost for every parameter: " + "; ".join(parts) + "."
    xs = ", ".join(f"{m['x']:g}" for _, m in rows)
    return (f"least squares over {variable} = {xs}: " + "; ".join(parts) + ".")


def compiler_text(build_dir):
    cache = {}
    try:
        with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as f:
            for line in f:
                m = re.match(r"^([A-Za-z_]+):[A-Z]+=(.*)$", line.rstrip("\n"))
                if m:
                    cache[m.group(1)] = m.group(2)
    except OSError:
        pass
    compiler = cache.get("CMAKE_CXX_COMPILER", "c++")
    try:
        version = subprocess.run([compiler, "--version"], capture_output=True, text=True,
                                 check=False).stdout.splitlines()[0]
    except (OSError, IndexError):
        version = compiler
    flags = ""
    try:
        with open(os.path.join(build_dir, "compile_commands.json"), encoding="utf-8") as f:
            for entry in json.load(f):
                if entry["file"].endswith("src/indicators/MSX_QMR_JMA.cpp"):
                    words = shlex.split(entry["command"])
                    flags = " ".join(w for w in words
                                     if re.match(r"^-(O|f|m|std=|W(?!l,))", w))
    except (OSError, ValueError, KeyError):
        pass
    return version, cache.get("CMAKE_BUILD_TYPE", "unknown"), flags


def cpu_model():
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


def benchmark_version():
    try:
        out = subprocess.run(["dpkg-query", "-W", "-f=${Version}", "libbenchmark-dev"],
                             capture_output=True, text=True, check=False).stdout.strip()
        return out or "unknown"
    except OSError:
        return "unknown"


# Ratios within one run: (name, numerator formula, denominator formula, limit).
RATIOS = [
    ("long window against short", "NRTR_WATR(C, 200, 2)", "NRTR_WATR(C, 14, 2)", 1.3),
    ("weighted against plain NRTR", "NRTR_WATR(C, 14, 2)", "NRTR(C, 2)", 4.0),
    ("long window against short", "RENKO_WATR(C, 2, 200, Auto)", "RENKO_WATR(C, 2, 10, Auto)", 1.3),
    ("long window against short", "JTPO(C, 300)", "JTPO(C, 14)", 3.0),
]
PRODUCT_LIMIT = 1.3  # win32 / native


def product_section(path, w):
    """The product DLL beside native, from bench/product.py's table."""
    info, rows = {}, []
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            fields = line.split("\t")
            if line.startswith("# "):
                info[fields[0][2:]] = fields[1]
            elif fields[0] != "formula":
                rows.append((fields[0], *map(float, fields[1:4])))
    ns = {r[0]: {"native": r[1], "win64": r[2], "win32": r[3]} for r in rows}
    w("## The product beside native")
    w("")
    w(f"The formulas of `bench/product.txt` through the exported interface (`msxhost bench`) of "
      f"the native library, the win64 DLL and the 32-bit product DLL under Wine, over 65,500 "
      f"bars made from `data/goog-daily.csv`, on {info['cpu']}. The targets took turns for "
      f"{info['rounds']} rounds of 3 calls a formula; each figure is the fastest call (wall "
      f"clock, the library's calls alone: their arrays and records allocated and written "
      f"before the timing and used again by every call). Load average (1, 5, 15 minutes): "
      f"{info['load']}. The results of every target timed are bit-identical (their digests).")
    timed = all(r[3] == r[3] for r in rows)  # NaN: the product was not timed
    if info.get("win32 emulated") == "yes":
        w("")
        w(f"**{'The 32-bit figures are not' if timed else 'No figure here is'} the product's "
          "speed:** on this machine the kernel hands 32-bit x86 programs to an emulator "
          "(qemu-i386, through binfmt_misc), so the 32-bit Wine and the product DLL "
          f"{'ran emulated' if timed else 'would run emulated and were left out'}. Run "
          "`scripts/bench.sh` where 32-bit programs run natively for the product's ratios.")
    w("")
    w("| Formula | native ns/bar | win64 ns/bar | win32 ns/bar | win32 / native | ≤ 1.3 |")
    w("|---|--:|--:|--:|--:|---|")
    for formula, native, win64, win32 in rows:
        if win32 == win32:
            ratio = win32 / native
            product = (f"{significant(win32)} | {ratio:.2f} | "
                       f"{'yes' if ratio <= PRODUCT_LIMIT else 'no'}")
        else:
            product = "– | – | –"
        w(f"| `{formula}` | {significant(native)} | {significant(win64)} | {product} |")
    w("")
    w("Ratios between formulas, each within one target of this run:")
    w("")
    w("| Ratio | Limit | native | win32 | Met |")
    w("|---|--:|--:|--:|---|")
    for _name, top, bottom, limit in RATIOS:
        if top not in ns or bottom not in ns:
            continue
        values = [ns[top][t] / ns[bottom][t] for t in ("native", "win32")]
        values = [v for v in values if v == v]
        met = "yes" if all(v <= limit for v in values) else "no"
        cells = " | ".join(f"{v:.2f}" for v in values) + (" | –" if len(values) == 1 else "")
        w(f"| `{top}` / `{bottom}` | {limit:g} | {cells} | {met} |")
    w("")


def main():
    if len(sys.argv) not in (6, 7):
        fail("usage: report.py RESULTS.json LOADAVG TABLE.tsv BUILD_DIR OUTPUT.md [PRODUCT.tsv]")
    results, loadavg, table, build_dir, output = sys.argv[1:6]
    product = sys.argv[6] if len(sys.argv) == 7 else None
    models, benches = read_table(table)
    context, runs = read_results(results)
    names = [b["name"] for b in benches]
    missing = [n for n in names if n not in runs]
    extra = [n for n in runs if n not in names]
    if missing or extra:
        fail(f"results and table differ: not run {missing}, not in the table {extra}")
    measured = {b["name"]: measure(b, runs[b["name"]]) for b in benches}

    version, build_type, flags = compiler_text(build_dir)
    with open(loadavg, encoding="utf-8") as f:
        load_after = " ".join(f.read().split()[:3])
    load_before = " ".join(f"{v:.2f}" for v in context.get("load_avg", []))
    reps = sorted({m["reps"] for m in measured.values()})

    out = []
    w = out.append
    w("# Performance")
    w("")
    w("Written by `scripts/bench.sh` (a full run of `msx_bench`) through `bench/report.py`, from")
    w("Google Benchmark's results and the parameters, targets and cost models of")
    w("`bench/report.tsv`. Every figure is as measured and every verdict is worked out from it;")
    w("run `scripts/bench.sh` again rather than editing this page.")
    w("")
    w("## How the figures were taken")
    w("")
    w(f"- Date: {context['date']}.")
    w(f"- Machine: {cpu_model()}, {context['num_cpus']} cores at {context['mhz_per_cpu']} MHz"
      f" (CPU frequency scaling {'on' if context.get('cpu_scaling_enabled') else 'off'}).")
    w(f"- Load average (1, 5, 15 minutes): {load_before} when the run started, "
      f"{load_after} when it ended.")
    w(f"- Compiler: {version}; build type {build_type}; flags `{flags}`.")
    w(f"- Google Benchmark {benchmark_version()}, Debian's package (it reports its own library "
      f"as built for {context.get('library_build_type', 'unknown')}: that is the bookkeeping "
      "between timed batches, not the code timed).")
    w(f"- Every benchmark ran {' or '.join(map(str, reps))} times (repetitions); each figure is "
      "the median of those runs, in CPU time of the process (user and system). "
      "Spread is (slowest − fastest) ÷ median over the repetitions. Wall-clock time is shown "
      "beside it for the file functions, whose calls also wait for the disk.")
    w("- Input: every function over the host's maximum of 65,500 bars, built from the real "
      "daily prices of `data/goog-daily.csv` (its daily moves replayed forwards and backwards); "
      "the file functions on a five-minute chart, on files in the system's temporary folder.")
    w("- Ns per unit: the CPU time of a call divided by the units of work the function's cost "
      "model counts in it (window steps, window slots, bytes, lines; see Cost models). "
      "Vs model: how far the median lies from the cost model fitted to all benchmarks of the "
      "function (a constant cost, or a + b × the model's variable), where there are more "
      "benchmarks than the fit has parameters.")
    w("- Targets are judged on the median CPU time.")
    w("")

    def table_rows(per):
        return [b for b in benches if models[b["function"]]["per"] == per]

    def cell(text):
        return text.replace("|", "\\|")

    def versus(b):
        model = models[b["function"]]
        rows = [(o, measured[o["name"]]) for o in benches if o["function"] == b["function"]]
        return deviation(model, rows, measured[b["name"]])

    w("## Indicators")
    w("")
    w("| Function | Parameters | ns/bar | Spread | Target | Met | Model unit | ns per unit | "
      "vs model |")
    w("|---|---|--:|--:|---|---|---|--:|--:|")
    for b in table_rows("bar"):
        m, unit = measured[b["name"]], models[b["function"]]["unit"]
        w(f"| {b['function']} | {cell(b['parameters'])} | {significant(m['ns_per_bar'])} | "
          f"{m['spread']:.0%} | {target_text(b, unit)} | {met_text(m)} | {unit} | "
          f"{significant(m['ns_per_unit'])} | {versus(b)} |")
    w("")
    w("## Data exchange and trading")
    w("")
    w("| Function | Parameters | ms per call | Wall ms | ns/bar | Spread | Target | Met | "
      "Model unit | ns per unit | vs model |")
    w("|---|---|--:|--:|--:|--:|---|---|---|--:|--:|")
    for b in table_rows("call"):
        m, unit = measured[b["name"]], models[b["function"]]["unit"]
        w(f"| {b['function']} | {cell(b['parameters'])} | {significant(m['cpu_ms'])} | "
          f"{significant(m['wall_ms'])} | {significant(m['ns_per_bar'])} | {m['spread']:.0%} | "
          f"{target_text(b, unit)} | {met_text(m)} | {unit} | "
          f"{significant(m['ns_per_unit'])} | {versus(b)} |")
    w("")

    if product:
        product_section(product, w)
    judged = [(b, measured[b["name"]]) for b in benches if measured[b["name"]]["met"] is not None]
    missed = [b for b, m in judged if not m["met"]]
    w("## Targets")
    w("")
    w(f"{len(judged) - len(missed)} of {len(judged)} targets met.")
    if missed:
        w("Not met: " + "; ".join(f"{b['function']} ({b['parameters']}, "
                                    f"{target_text(b, models[b['function']]['unit'])})"
                                    for b in missed) + ".")
    w("")
    w("## Cost models")
    w("")
    w("What each function does per bar and per call, as its code does it, and how the")
    w("measured figures bear it out.")
    for function, model in models.items():
        rows = [(b, measured[b["name"]]) for b in benches if b["function"] == function]
        if not rows:
            continue
        w("")
        w(f"### {function}")
        w("")
        w(model["text"])
        w("")
        per_unit = ", ".join(f"{significant(m['ns_per_unit'])} ({b['parameters']})"
                             for b, m in rows)
        w(f"Measured ns per {model['unit']}: {per_unit}.")
        check = fit_text(model, rows)
        if check:
            w(f"Model check, {check}")
    w("")
    text = "\n".join(out)
    temp = output + ".tmp"
    with open(temp, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(temp, output)


if __name__ == "__main__":
    main()
