"""The standard message and method codecs, byte for byte as the engine writes them.

Python values map to codec values as the Dart side's do: None, bool, int (int32 when it fits,
else int64), float (float64), str, bytes/bytearray (Uint8 list), array.array of typecodes
'i'/'l'/'q' for int32 or int64 lists and 'f'/'d' for float32/float64 lists, list/tuple, dict.
Decoding gives the same types back (typed lists as bytes and array.array).
"""

import array
import struct

NULL, TRUE, FALSE, INT32, INT64, LARGE_INT, FLOAT64, STRING = range(8)
UINT8_LIST, INT32_LIST, INT64_LIST, FLOAT64_LIST, LIST, MAP, FLOAT32_LIST = range(8, 15)

_INT32_RANGE = range(-(2**31), 2**31)
_INT64_RANGE = range(-(2**63), 2**63)
# type byte -> (element size, struct and array typecode of that size)
_TYPED_LISTS = {
    INT32_LIST: (4, "i"),
    INT64_LIST: (8, "q"),
    FLOAT32_LIST: (4, "f"),
    FLOAT64_LIST: (8, "d"),
}
_MAX_DEPTH = 256


class CodecError(ValueError):
    """Bytes that are not a well-formed encoding, or a value the codec cannot carry."""


# ---------------------------------------------------------------------------------------------
# Writing


def _write_size(out, size):
    if size < 254:
        out.append(size)
    elif size <= 0xFFFF:
        out.append(254)
        out += struct.pack("<H", size)
    else:
        out.append(255)
        out += struct.pack("<I", size)


def _align(out, alignment):
    while len(out) % alignment:
        out.append(0)


def _typed_list_type(values):
    if values.typecode in "ilq" and values.itemsize in (4, 8):
        return INT32_LIST if values.itemsize == 4 else INT64_LIST
    kinds = {"B": UINT8_LIST, "f": FLOAT32_LIST, "d": FLOAT64_LIST}
    if values.typecode not in kinds:
        raise CodecError(f"no codec type for array typecode '{values.typecode}'")
    return kinds[values.typecode]


def _write(out, value, depth):
    if depth > _MAX_DEPTH:
        raise CodecError("value nested too deeply")
    if value is None:
        out.append(NULL)
    elif value is True:
        out.append(TRUE)
    elif value is False:
        out.append(FALSE)
    elif isinstance(value, int):
        if value in _INT32_RANGE:
            out.append(INT32)
            out += struct.pack("<i", value)
        elif value in _INT64_RANGE:
            out.append(INT64)
            out += struct.pack("<q", value)
        else:
            raise CodecError(f"integer {value} does not fit in 64 bits")
    elif isinstance(value, float):
        out.append(FLOAT64)
        _align(out, 8)
        out += struct.pack("<d", value)
    elif isinstance(value, str):
        encoded = value.encode("utf-8")
        out.append(STRING)
        _write_size(out, len(encoded))
        out += encoded
    elif isinstance(value, (bytes, bytearray, memoryview)):
        data = bytes(value)
        out.append(UINT8_LIST)
        _write_size(out, len(data))
        out += data
    elif isinstance(value, array.array):
        kind = _typed_list_type(value)
        if kind == UINT8_LIST:
            _write(out, value.tobytes(), depth)
            return
        size, typecode = _TYPED_LISTS[kind]
        out.append(kind)
        _write_size(out, len(value))
        _align(out, size)
        out += struct.pack(f"<{len(value)}{typecode}", *value)
    elif isinstance(value, (list, tuple)):
        out.append(LIST)
        _write_size(out, len(value))
        for item in value:
            _write(out, item, depth + 1)
    elif isinstance(value, dict):
        out.append(MAP)
        _write_size(out, len(value))
        for key, item in value.items():
            _write(out, key, depth + 1)
            _write(out, item, depth + 1)
    else:
        raise CodecError(f"no codec type for {type(value).__name__}")


def encode_value(value):
    """The standard message codec's bytes for `value`."""
    return _encode(value)


# ---------------------------------------------------------------------------------------------
# Reading


class _Reader:
    def __init__(self, data):
        self.data = memoryview(bytes(data))
        self.position = 0

    def has_more(self):
        return self.position < len(self.data)

    def take(self, count):
        if count > len(self.data) - self.position:
            raise CodecError("message truncated")
        chunk = self.data[self.position:self.position + count]
        self.position += count
        return chunk

    def byte(self):
        return self.take(1)[0]

    def size(self):
        first = self.byte()
        if first < 254:
            return first
        if first == 254:
            return struct.unpack("<H", self.take(2))[0]
        return struct.unpack("<I", self.take(4))[0]

    def align(self, alignment):
        remainder = self.position % alignment
        if remainder:
            self.take(alignment - remainder)

    def utf8(self):
        try:
            return bytes(self.take(self.size())).decode("utf-8")
        except UnicodeDecodeError as error:
            raise CodecError(f"string is not UTF-8: {error}") from None

    def value(self, depth=0):
        if depth > _MAX_DEPTH:
            raise CodecError("value nested too deeply")
        kind = self.byte()
        if kind == NULL:
            return None
        if kind == TRUE:
            return True
        if kind == FALSE:
            return False
        if kind == INT32:
            return struct.unpack("<i", self.take(4))[0]
        if kind == INT64:
            return struct.unpack("<q", self.take(8))[0]
        if kind == LARGE_INT:
            text = self.utf8()
            try:
                return int(text, 16)
            except ValueError:
                raise CodecError(f"large integer '{text}' is not hexadecimal") from None
        if kind == FLOAT64:
            self.align(8)
            return struct.unpack("<d", self.take(8))[0]
        if kind == STRING:
            return self.utf8()
        if kind == UINT8_LIST:
            return bytes(self.take(self.size()))
        if kind in _TYPED_LISTS:
            element_size, typecode = _TYPED_LISTS[kind]
            count = self.size()
            self.align(element_size)
            data = bytes(self.take(count * element_size))
            return array.array(typecode, struct.unpack(f"<{count}{typecode}", data))
        if kind == LIST:
            count = self.size()
            if count > len(self.data) - self.position:
                raise CodecError("list longer than the message")
            return [self.value(depth + 1) for _ in range(count)]
        if kind == MAP:
            count = self.size()
            if count * 2 > len(self.data) - self.position:
                raise CodecError("map longer than the message")
            result = {}
            for _ in range(count):
                key = self.value(depth + 1)
                try:
                    result[_hashable(key)] = self.value(depth + 1)
                except TypeError:
                    raise CodecError("map key cannot be a Python dict key") from None
            return result
        raise CodecError(f"unknown type byte {kind}")


def _hashable(key):
    if isinstance(key, list):
        return tuple(_hashable(item) for item in key)
    if isinstance(key, array.array):
        return tuple(key)
    return key


def decode_value(data):
    """The value that the standard message codec wrote into `data` (empty data is None)."""
    if not data:
        return None
    reader = _Reader(data)
    value = reader.value()
    if reader.has_more():
        raise CodecError("bytes left after the value")
    return value


# ---------------------------------------------------------------------------------------------
# Method codec


def _encode(*values, prefix=b""):
    # One buffer for all of them: float and typed-list alignment counts from its start.
    out = bytearray(prefix)
    for value in values:
        _write(out, value, 0)
    return bytes(out)


def encode_method_call(method, arguments=None):
    return _encode(method, arguments)


def decode_method_call(data):
    reader = _Reader(data)
    method = reader.value()
    if not isinstance(method, str):
        raise CodecError("method call without a method name")
    arguments = reader.value() if reader.has_more() else None
    if reader.has_more():
        raise CodecError("bytes left after the method call")
    return method, arguments


def encode_success_envelope(value):
    return _encode(value, prefix=b"\x00")


def encode_error_envelope(code, message=None, details=None):
    return _encode(code, message, details, prefix=b"\x01")


def decode_envelope(data):
    """('success', value) or ('error', (code, message, details))."""
    reader = _Reader(data)
    flag = reader.byte()
    if flag == 0:
        value = reader.value()
        if reader.has_more():
            raise CodecError("bytes left after the envelope")
        return "success", value
    if flag == 1:
        code, message, details = reader.value(), reader.value(), reader.value()
        if not isinstance(code, str) or not (message is None or isinstance(message, str)):
            raise CodecError("error envelope without a string code")
        if reader.has_more():
            raise CodecError("bytes left after the envelope")
        return "error", (code, message, details)
    raise CodecError(f"envelope starts with {flag}, not 0 or 1")
