# SPDX-License-Identifier: Apache-2.0
"""The 31-byte constants file: its fields by name, its text form and its design."""
import numbers
import os

from . import _core

_FIELDS = dict(_core.constants_fields())


class Constants:
    """The filter-constants file the estimator reads (31 bytes).

    Every field is an attribute, in the names `qzkit constants show` prints:
    integers as int, 3-byte floats as the float the library computes with,
    arrays (LPFConstants, HPFConstantsA, HPFConstantsB) as tuples. Assigning a
    field stores it as the file would hold it (floats rounded to the 3-byte
    format); a value the field cannot hold raises Error.

        c = Constants.read("examples/ecg250")
        c.MinBPM = 40
        c.to_text()
    """

    __slots__ = ("_image", "description")

    def __init__(self, image):
        """From the 31 bytes of a constants file (anything bytes() takes, but a number)."""
        if isinstance(image, numbers.Integral):  # bytes(31) would be 31 zero bytes
            raise TypeError(f"Constants takes the 31 bytes of a constants file, not the number {image!r}")
        object.__setattr__(self, "_image", _core.constants_image(bytes(image)))
        object.__setattr__(self, "description", None)

    @classmethod
    def read(cls, path):
        """Reads a constants file: `path` is the file or its base name without
        ".pvx.filters.v1", as the tool takes it; the first 31 bytes are used.
        A missing file raises FileNotFoundError, a short one Error, each with
        the tool's message ("Error in reading filter input, read N")."""
        return cls(_core.read_constants(path))

    @classmethod
    def from_text(cls, text, source="<text>"):
        """From the text form `qzkit constants make` reads: `Field = value` lines,
        '#' comments. Error (naming `source` and the line) for what it cannot store."""
        return cls(_core.constants_from_text(text, source))

    @classmethod
    def design(cls, **choices):
        """Designs a set as `qzkit constants design` does, with the same choices:
        rate, lowpass, highpass (cut-offs in Hz), highpass_order (3 or 1), swing,
        min_bpm, max_bpm, one_peak_bpm. The result's `description` holds the
        design's responses and ranges."""
        image, description = _core.design_constants(**choices)
        constants = cls(image)
        object.__setattr__(constants, "description", description)
        return constants

    @classmethod
    def coerce(cls, constants, caller="Constants.coerce"):
        """A Constants object from a Constants object, 31 bytes, or a path / base name;
        TypeError naming `caller` for anything else."""
        if isinstance(constants, cls):
            return constants
        if isinstance(constants, (bytes, bytearray, memoryview)):
            return cls(constants)
        if isinstance(constants, (str, os.PathLike)):
            return cls.read(constants)
        raise TypeError(
            f"{caller}: constants are a Constants object, the 31 bytes of a constants file or its path, "
            f"not {type(constants).__name__}"
        )

    def write(self, path):
        """Writes the 31 bytes to `path` (the whole file or nothing)."""
        _core.write_constants(path, self._image)

    def to_text(self):
        """The text form `qzkit constants show` prints and `make` reads, with each field's meaning."""
        return _core.constants_to_text(self._image)

    @property
    def warnings(self):
        """What the tool accepts but will misbehave on, one sentence each."""
        return _core.constants_warnings(self._image)

    def fields(self):
        """Every field by name, in file order."""
        return {name: getattr(self, name) for name in _FIELDS}

    def replace(self, **fields):
        """A copy with the given fields changed."""
        copy = Constants(self._image)
        for name, value in fields.items():
            setattr(copy, name, value)
        return copy

    def __getattr__(self, name):
        if name in _FIELDS:
            return _core.get_field(self._image, name)
        raise AttributeError(f"Constants has no field {name!r}; the fields are {', '.join(_FIELDS)}")

    def __setattr__(self, name, value):
        if name not in _FIELDS:
            raise AttributeError(f"Constants has no field {name!r}; the fields are {', '.join(_FIELDS)}")
        object.__setattr__(self, "_image", _core.set_field(self._image, name, value))

    def __dir__(self):
        return [*super().__dir__(), *_FIELDS]

    def __bytes__(self):
        return self._image

    def __eq__(self, other):
        return isinstance(other, Constants) and self._image == other._image

    __hash__ = None

    def __repr__(self):
        return "Constants(" + ", ".join(f"{name}={value!r}" for name, value in self.fields().items()) + ")"
