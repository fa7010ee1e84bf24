"""The library as the host sees it: loaded by path, described through its
four description entry points, its functions called by their exported names
with the host's records laid out as the host lays them out.

The library writes its settings file beside itself when it loads, so the
package never loads the copy inside site-packages: it loads a private copy
from a per-user folder (see `private_copy`)."""

import ctypes
import os
import sys
import tempfile

import numpy as np

from ._version import __version__

MAX_BARS = 65500  # every host value array holds indexes 0 to 65499
MAX_ARGS = 9
TEXT_SIZE = 100

# The text NRTR, NRTR_WATR and CER leave in szExtendedError whatever failed.
NO_REASON = "ResultRec.szExtendedError"

WINDOWS = sys.platform == "win32"
LIBRARY_FILE = "msx_qmr.dll" if WINDOWS else "msx_qmr.so"
# The 32-bit product calls its exports with the standard-call convention.
_STDCALL = WINDOWS and ctypes.sizeof(ctypes.c_void_p) == 4


class Error(Exception):
    """A call the library refused, or input the host could not pass.

    `function` is the library function's name when the library refused the
    call, and `text` what it left in the host's error field (empty when it
    gave none)."""

    def __init__(self, message, function=None, text=""):
        super().__init__(message)
        self.function = function
        self.text = text


# The host records. ctypes lays them out as the platform's C compiler does,
# which is the host's layout on 32-bit Windows and the tester's elsewhere.
class DateTimeEntry(ctypes.Structure):
    _fields_ = [("date", ctypes.c_int32), ("time", ctypes.c_int32)]


class HostSeries(ctypes.Structure):
    _fields_ = [("values", ctypes.POINTER(ctypes.c_float)), ("first", ctypes.c_int32),
                ("last", ctypes.c_int32)]


class DataRecord(ctypes.Structure):
    _fields_ = [("dates", ctypes.POINTER(DateTimeEntry))] + [
        (name, HostSeries)
        for name in ("open", "high", "low", "close", "volume", "openInterest", "indicator")
    ] + [(name, ctypes.c_char_p)
         for name in ("securityName", "symbol", "securityPath", "onlineSource")] + [
        ("period", ctypes.c_int32), ("interval", ctypes.c_int32)]


class SeriesArgs(ctypes.Structure):
    _fields_ = [("items", ctypes.POINTER(HostSeries) * MAX_ARGS), ("count", ctypes.c_int32)]


class NumericArgs(ctypes.Structure):
    _fields_ = [("items", ctypes.c_float * MAX_ARGS), ("count", ctypes.c_int32)]


class StringArgs(ctypes.Structure):
    _fields_ = [("items", ctypes.c_char_p * MAX_ARGS), ("count", ctypes.c_int32)]


class CustomArgs(ctypes.Structure):
    _fields_ = [("items", ctypes.c_int32 * MAX_ARGS), ("count", ctypes.c_int32)]


class ResultRec(ctypes.Structure):
    _fields_ = [("result", ctypes.POINTER(HostSeries)),
                ("szExtendedError", ctypes.c_char * TEXT_SIZE)]


class LibraryDescription(ctypes.Structure):
    _fields_ = [("text", ctypes.c_char * TEXT_SIZE), ("functionCount", ctypes.c_int32),
                ("version", ctypes.c_int32)]


class FunctionDescription(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char * TEXT_SIZE), ("description", ctypes.c_char * TEXT_SIZE),
                ("argumentCount", ctypes.c_int32)]


class ArgumentDescription(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int32), ("name", ctypes.c_char * TEXT_SIZE),
                ("customStringCount", ctypes.c_int32)]


class CustomStringDescription(ctypes.Structure):
    _fields_ = [("text", ctypes.c_char * TEXT_SIZE), ("id", ctypes.c_int32)]


def host_text(text):
    """A text as the library takes it: the file system's bytes for names on
    POSIX, the ANSI code page on Windows (the library uses the A functions)."""
    return text.encode("mbcs") if WINDOWS else os.fsencode(text)


def python_text(raw):
    return raw.decode("mbcs" if WINDOWS else "utf-8", "replace")


class HostArray:
    """A host value array of MAX_BARS floats with its record (values, first,
    last); `fill` everywhere, the range empty."""

    def __init__(self, values=None, first=0, last=-1, fill=0.0):
        self.values = np.full(MAX_BARS, fill, dtype=np.float32)
        if values is not None:
            self.values[:len(values)] = values
        self.series = HostSeries(self.values.ctypes.data_as(ctypes.POINTER(ctypes.c_float)),
                                 first, last)


class Chart:
    """The host's data record for one chart: dates and times (host form),
    high, low and close as HostArrays, the symbol and the period."""

    def __init__(self, bars, high=None, low=None, close=None, dates=None, times=None,
                 symbol="", period=("D", 0)):
        self.stamps = np.zeros((MAX_BARS, 2), dtype=np.int32)
        if dates is not None:
            self.stamps[:bars, 0] = dates
            self.stamps[:bars, 1] = times
        self.arrays = [a if a is not None else HostArray() for a in (high, low, close)]
        self.empty = HostArray()
        self.texts = [b"", host_text(symbol), b"", b""]
        empty = self.empty.series
        self.record = DataRecord(self.stamps.ctypes.data_as(ctypes.POINTER(DateTimeEntry)), empty,
                                 self.arrays[0].series, self.arrays[1].series,
                                 self.arrays[2].series, empty, empty, empty, *self.texts,
                                 ord(period[0]), period[1])


class Call:
    """The four argument arrays of one call and its result record, prepared
    as the host does: result values `fill` (NaN), the range `first`/`last`
    as given, the error text all zero."""

    def __init__(self, series=(), numbers=(), strings=(), customs=(), fill=np.nan,
                 first=0, last=-1):
        self.keep = list(series)  # the arrays the records point into
        self.series = SeriesArgs()
        for k, array in enumerate(series):
            self.series.items[k] = ctypes.pointer(array.series)
        self.series.count = len(series)
        self.numbers = NumericArgs()
        for k, value in enumerate(numbers):
            self.numbers.items[k] = value
        self.numbers.count = len(numbers)
        self.strings = StringArgs()
        for k, text in enumerate(strings):
            self.strings.items[k] = host_text(text)
        self.strings.count = len(strings)
        self.customs = CustomArgs()
        for k, value in enumerate(customs):
            self.customs.items[k] = value
        self.customs.count = len(customs)
        self.out = HostArray(fill=fill, first=first, last=last)
        self.result = ResultRec(ctypes.pointer(self.out.series))

    @property
    def text(self):
        return python_text(self.result.szExtendedError)


def _function_type():
    factory = ctypes.WINFUNCTYPE if _STDCALL else ctypes.CFUNCTYPE
    return factory(ctypes.c_int32, ctypes.POINTER(DataRecord), ctypes.POINTER(SeriesArgs),
                   ctypes.POINTER(NumericArgs), ctypes.POINTER(StringArgs),
                   ctypes.POINTER(CustomArgs), ctypes.POINTER(ResultRec))


class Library:
    """One loaded library and what its description entry points answered:
    `text`, `version` and `functions` (name -> list of (type, name,
    {choice text: id}) per argument). Functions offered only under code page
    866 are described only there, but exported everywhere."""

    def __init__(self, path):
        self.path = os.path.abspath(path)
        try:
            self._dll = (ctypes.WinDLL if _STDCALL else ctypes.CDLL)(self.path)
        except OSError as e:
            raise Error(f"cannot load the library {self.path} ({e})") from None
        self._functions = {}
        self._describe()

    def _entry(self, name, *argtypes):
        try:
            entry = getattr(self._dll, name)
        except AttributeError:
            raise Error(f"{name} is not exported by {self.path}") from None
        entry.argtypes = argtypes
        entry.restype = ctypes.c_int32
        return entry

    def _describe(self):
        info = self._entry("MSXInfo", ctypes.POINTER(LibraryDescription))
        nth_function = self._entry("MSXNthFunction", ctypes.c_int32,
                                   ctypes.POINTER(FunctionDescription))
        nth_arg = self._entry("MSXNthArg", ctypes.c_int32, ctypes.c_int32,
                              ctypes.POINTER(ArgumentDescription))
        nth_custom = self._entry("MSXNthCustomString", ctypes.c_int32, ctypes.c_int32,
                                 ctypes.c_int32, ctypes.POINTER(CustomStringDescription))

        def check(rc, call):
            if rc != 0:
                raise Error(f"{call} returned {rc} in {self.path}")

        library = LibraryDescription()
        check(info(ctypes.byref(library)), "MSXInfo")
        self.text = python_text(library.text)
        self.version = library.version
        self.functions = {}
        for f in range(library.functionCount):
            function = FunctionDescription()
            check(nth_function(f, ctypes.byref(function)), f"MSXNthFunction({f})")
            arguments = []
            for a in range(function.argumentCount):
                argument = ArgumentDescription()
                check(nth_arg(f, a, ctypes.byref(argument)), f"MSXNthArg({f}, {a})")
                choices = {}
                for s in range(argument.customStringCount):
                    choice = CustomStringDescription()
                    check(nth_custom(f, a, s, ctypes.byref(choice)),
                          f"MSXNthCustomString({f}, {a}, {s})")
                    choices[python_text(choice.text)] = choice.id
                arguments.append((argument.type, python_text(argument.name), choices))
            self.functions[python_text(function.name)] = arguments

    def choice(self, function, argument, text):
        """The ID of a custom argument's choice, by its text in any letter case."""
        arguments = self.functions.get(function)
        choices = arguments[argument][2] if arguments else {}
        for name, ident in choices.items():
            if name.lower() == str(text).lower():
                return ident
        raise Error(f"{function.lower()}: no choice {text!r} (choices: "
                    f"{', '.join(choices) or 'none'})")

    def call(self, name, chart, call):
        """Calls the export `name` with the chart's data record and the call's
        records; returns what it returned."""
        function = self._functions.get(name)
        if function is None:
            try:
                address = ctypes.cast(getattr(self._dll, name), ctypes.c_void_p).value
            except AttributeError:
                raise Error(f"{name} is not exported by {self.path}") from None
            function = self._functions[name] = _function_type()(address)
        return function(ctypes.byref(chart.record), ctypes.byref(call.series),
                        ctypes.byref(call.numbers), ctypes.byref(call.strings),
                        ctypes.byref(call.customs), ctypes.byref(call.result))


def private_folder():
    """The per-user folder of this version's private copy: under
    %LOCALAPPDATA% on Windows, $XDG_CACHE_HOME or ~/.cache elsewhere."""
    if WINDOWS:
        base = os.environ.get("LOCALAPPDATA") or os.path.expanduser(r"~\AppData\Local")
    else:
        base = os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache")
    return os.path.join(base, "msx_qmr", __version__)


def private_copy(shipped):
    """The private copy of the shipped library, made or refreshed when its
    bytes differ. The copy is written beside its place and renamed over it,
    so another process never loads a half-written file."""
    folder = private_folder()
    target = os.path.join(folder, LIBRARY_FILE)
    with open(shipped, "rb") as f:
        content = f.read()
    try:
        with open(target, "rb") as f:
            if f.read() == content:
                return target
    except OSError:
        pass
    try:
        os.makedirs(folder, exist_ok=True)
        handle, staged = tempfile.mkstemp(dir=folder, prefix=LIBRARY_FILE + ".")
        try:
            with os.fdopen(handle, "wb") as f:
                f.write(content)
            os.chmod(staged, 0o755)
            os.replace(staged, target)
        except BaseException:
            os.unlink(staged)
            raise
    except OSError as e:
        raise Error(f"cannot place the library's private copy at {target} ({e}); "
                    f"give another folder with msx_qmr.load(PATH)") from None
    return target


_loaded = None


def load(path=None):
    """Loads the library and makes it the one the package's functions call.

    Without a path: a private copy of the library inside the package, in a
    per-user folder (~/.cache/msx_qmr/VERSION/ on Linux,
    %LOCALAPPDATA%\\msx_qmr\\VERSION\\ on Windows), since the library writes
    its settings file beside itself when it loads. With a path: that file
    itself, its settings file beside it. Returns the Library; raises Error
    when it cannot be loaded or described."""
    global _loaded
    if path is None:
        shipped = os.path.join(os.path.dirname(os.path.abspath(__file__)), LIBRARY_FILE)
        if not os.path.exists(shipped):
            raise Error(f"the package holds no {LIBRARY_FILE} for this platform: install the "
                        f"wheel built for it, or give a library with msx_qmr.load(PATH)")
        path = private_copy(shipped)
    _loaded = Library(path)
    return _loaded


def library():
    """The library the functions call, loaded on first use."""
    return _loaded if _loaded is not None else load()
