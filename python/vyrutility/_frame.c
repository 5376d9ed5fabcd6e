/*
 * vyrutility._frame: convert() for the plain case in one C call.
 *
 * A conversion of a frame is a few hundred microseconds to milliseconds of converting, and the
 * Python around it runs with caches the frame has just flushed: every line of interpreter, ctypes and
 * numpy code it touches comes back from memory. This function reads the arrays' layout straight from
 * numpy's structures, fills the frame descriptors and calls VyrFrameConvert with the GIL released.
 * Anything out of the plain case (a source to copy first, a name in an unusual case, a wrong
 * argument of any kind) goes to the Python implementation, which holds every rule and message.
 */
#define PY_SSIZE_T_CLEAN
#include <Python.h>
#define NPY_NO_DEPRECATED_API NPY_1_7_API_VERSION
#include <numpy/arrayobject.h>

#include <VyrFrame.h>

#include <string.h>

enum { FORMATS = 64, ARGUMENTS = 9 };

typedef struct FormatLayout {
    uint32_t planes, unitPixels, unitBytes;
    uint32_t pixelBytes; /* bytes of a pixel; 0 where pixels share bytes */
    PyObject* newArray;  /* new_array(width, height) of the format's entry */
} FormatLayout;

static FormatLayout layouts[FORMATS];
static uint32_t takes[FORMATS][FORMATS]; /* options of a conversion plus 1 << 31; 0 when there is none */
static PyObject* formatCodes;            /* name as a caller spells it -> format code */
static PyObject* checked;                /* the Python convert */
static PyObject* malvar;                 /* "malvar", the method's default */
static PyObject* keywordNames[ARGUMENTS];
static const char* const keywords[ARGUMENTS] = {
    "src", "from_format", "to_format", "pattern", "method", "unused_bits", "blue_first", "threads", "out"};
enum { SRC, FROM, TO, PATTERN, METHOD, UNUSED_BITS, BLUE_FIRST, THREADS, OUT };
#define HAS_CONVERSION (1u << 31)

/* The format code of a name; 0 when the name is not one of those known here. */
static uint32_t formatCode(PyObject* name)
{
    if (!PyUnicode_CheckExact(name))
        return 0;
    PyObject* code = PyDict_GetItemWithError(formatCodes, name);
    return code ? (uint32_t)PyLong_AsUnsignedLong(code) : 0;
}

/* A whole number 0 .. 2^32 - 1 (an int, not a bool); 0 for anything else, with *ok cleared. */
static uint32_t count(PyObject* value, int* ok)
{
    if (!value)
        return 0;
    if (PyLong_CheckExact(value)) {
        unsigned long long n = PyLong_AsUnsignedLongLong(value);
        if (!PyErr_Occurred() && n <= UINT32_MAX)
            return (uint32_t)n;
        PyErr_Clear();
    }
    *ok = 0;
    return 0;
}

/* The ASCII text of a str without NUL characters; NULL for anything else. */
static const char* asciiName(PyObject* value)
{
    if (!PyUnicode_CheckExact(value) || !PyUnicode_IS_ASCII(value))
        return NULL;
    Py_ssize_t size;
    const char* text = PyUnicode_AsUTF8AndSize(value, &size);
    return text && strlen(text) == (size_t)size ? text : NULL;
}

/* Fills *image from an array of the format laid out plainly; 0 when the array is not (the Python
 * implementation then copies it or says why). sourceWidth: see _image in __init__.py. */
static int describe(PyObject* object, uint32_t format, int writable, uint32_t sourceWidth,
                    VyrFrameImage* image)
{
    if (!PyArray_Check(object))
        return 0;
    PyArrayObject* array = (PyArrayObject*)object;
    char kind = PyArray_DESCR(array)->kind;
    if ((kind != 'u' && kind != 'i') || (writable && !PyArray_ISWRITEABLE(array)))
        return 0;
    const FormatLayout* layout = &layouts[format];
    int dims = PyArray_NDIM(array);
    const npy_intp* shape = PyArray_DIMS(array);
    const npy_intp* strides = PyArray_STRIDES(array);
    npy_intp itemsize = PyArray_ITEMSIZE(array);
    int first = layout->planes > 1 ? 1 : 0; /* the axis of the lines */
    if (dims < first + 2 || (layout->planes > 1 && shape[0] != (npy_intp)layout->planes))
        return 0;
    npy_intp inner = 1;
    for (int axis = dims - 1; axis > first; --axis) {
        if (shape[axis] != 1 && strides[axis] != itemsize * inner)
            return 0;
        inner *= shape[axis];
    }
    npy_intp lineBytes = inner * itemsize, height = shape[first], width;
    if (layout->pixelBytes) {
        npy_intp pixel = itemsize;
        for (int axis = first + 2; axis < dims; ++axis)
            pixel *= shape[axis];
        if (pixel != (npy_intp)layout->pixelBytes)
            return 0;
        width = shape[first + 1];
    } else {
        width = lineBytes * layout->unitPixels / layout->unitBytes;
    }
    if (width > UINT32_MAX || height > UINT32_MAX)
        return 0;
    if (sourceWidth && layout->unitPixels > 1 &&
        VyrFrameLineBytes(format, sourceWidth) == VyrFrameLineBytes(format, (uint32_t)width))
        width = sourceWidth;
    if (width == 0 || VyrFrameLineBytes(format, (uint32_t)width) > (size_t)lineBytes)
        return 0;
    image->format = format;
    image->width = (uint32_t)width;
    image->height = (uint32_t)height;
    image->pitch = height > 1 ? strides[first] : lineBytes;
    char* data = PyArray_BYTES(array);
    for (uint32_t k = 0; k < layout->planes && k < 4; ++k)
        image->planes[k] = data + (layout->planes > 1 ? k * strides[0] : 0);
    return 1;
}

static PyObject* convert(PyObject* module, PyObject* const* args, Py_ssize_t nargsf, PyObject* kwnames)
{
    (void)module;
    Py_ssize_t positional = PyVectorcall_NARGS(nargsf);
    PyObject* given[ARGUMENTS] = {NULL};
    Py_ssize_t named = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
    if (positional > 3)
        goto python;
    for (Py_ssize_t i = 0; i < positional; ++i)
        given[i] = args[i];
    for (Py_ssize_t i = 0; i < named; ++i) {
        PyObject* name = PyTuple_GET_ITEM(kwnames, i);
        int slot = 0;
        while (slot < ARGUMENTS && name != keywordNames[slot] &&
               PyUnicode_Compare(name, keywordNames[slot]) != 0)
            ++slot;
        if (PyErr_Occurred())
            PyErr_Clear();
        if (slot == ARGUMENTS || given[slot])
            goto python;
        given[slot] = args[positional + i];
    }
    if (!given[SRC] || !given[FROM] || !given[TO])
        goto python;

    uint32_t from = formatCode(given[FROM]), to = formatCode(given[TO]);
    if (PyErr_Occurred())
        PyErr_Clear();
    if (!from || !to || from >= FORMATS || to >= FORMATS || !takes[from][to])
        goto python;
    uint32_t options = takes[from][to];

    int ok = 1;
    VyrFrameOptions frameOptions = {0};
    frameOptions.unusedBits = count(given[UNUSED_BITS], &ok);
    frameOptions.threads = count(given[THREADS], &ok);
    if (given[BLUE_FIRST]) {
        int blue = PyObject_IsTrue(given[BLUE_FIRST]);
        if (blue < 0) {
            PyErr_Clear();
            goto python;
        }
        frameOptions.blueFirst = (uint32_t)blue;
    }
    if (given[PATTERN] && given[PATTERN] != Py_None) {
        const char* name = asciiName(given[PATTERN]);
        frameOptions.pattern = name ? VyrFrameFindPattern(name) : 0;
        ok = ok && frameOptions.pattern;
    }
    /* The default names no method to the conversions that take none. */
    PyObject* method = given[METHOD];
    if (method && method != malvar &&
        !(PyUnicode_CheckExact(method) && PyUnicode_Compare(method, malvar) == 0)) {
        const char* name = asciiName(method);
        frameOptions.method = name ? VyrFrameFindMethod(name) : 0;
        ok = ok && frameOptions.method;
    } else if (options & VYR_FRAME_TAKES_METHOD) {
        frameOptions.method = VYR_FRAME_METHOD_MALVAR;
    }
    if (!ok)
        goto python;

    VyrFrameImage src = {0}, dst = {0};
    if (!describe(given[SRC], from, 0, 0, &src))
        goto python;
    PyObject* out = given[OUT];
    if (out && out != Py_None) {
        Py_INCREF(out);
    } else {
        out = PyObject_CallFunction(layouts[to].newArray, "II", src.width, src.height);
        if (!out)
            return NULL;
    }
    if (!describe(out, to, 1, src.width, &dst)) {
        Py_DECREF(out);
        goto python;
    }

    int32_t result;
    Py_BEGIN_ALLOW_THREADS result = VyrFrameConvert(&src, &dst, &frameOptions);
    Py_END_ALLOW_THREADS if (result == VYR_FRAME_OK) return out;
    Py_DECREF(out);
    PyErr_SetString(result == VYR_FRAME_ERROR_RESOURCE ? PyExc_MemoryError : PyExc_ValueError,
                    VyrFrameLastMessage());
    return NULL;

python:
    return PyObject_Vectorcall(checked, args, nargsf, kwnames);
}

/* setup(format_codes, new_arrays, checked): the names callers use, each format's new_array by code, and
 * the Python convert that everything out of the plain case goes to. */
static PyObject* setup(PyObject* module, PyObject* args)
{
    (void)module;
    PyObject *codes, *newArrays, *python;
    if (!PyArg_ParseTuple(args, "O!O!O:setup", &PyDict_Type, &codes, &PyDict_Type, &newArrays, &python))
        return NULL;
    for (uint32_t format = 1; format < FORMATS; ++format) {
        const VyrFrameFormatInfo* info = VyrFrameGetFormat(format);
        if (!info)
            continue;
        PyObject* key = PyLong_FromUnsignedLong(format);
        PyObject* newArray = key ? PyDict_GetItemWithError(newArrays, key) : NULL;
        Py_XDECREF(key);
        if (!newArray) {
            if (!PyErr_Occurred())
                PyErr_Format(PyExc_KeyError, "no new_array for format %s", info->name);
            return NULL;
        }
        FormatLayout* layout = &layouts[format];
        layout->planes = info->planes;
        layout->unitPixels = info->pixelsPerUnit;
        layout->unitBytes = info->bytesPerUnit;
        layout->pixelBytes =
            info->bytesPerUnit % info->pixelsPerUnit == 0 ? info->bytesPerUnit / info->pixelsPerUnit : 0;
        Py_INCREF(newArray);
        Py_XSETREF(layout->newArray, newArray);
        for (uint32_t to = 1; to < FORMATS; ++to) {
            const VyrFrameConversion* conversion = VyrFrameFindConversion(format, to);
            takes[format][to] = conversion ? conversion->options | HAS_CONVERSION : 0;
        }
    }
    Py_INCREF(codes);
    Py_XSETREF(formatCodes, codes);
    Py_INCREF(python);
    Py_XSETREF(checked, python);
    Py_RETURN_NONE;
}

PyDoc_STRVAR(convert_doc,
             "convert($module, /, src, from_format, to_format, *, pattern=None, method='malvar', "
             "unused_bits=0, blue_first=False, threads=0, out=None)\n--\n\n"
             "Converts the frame src from from_format to to_format; returns out, or a new array of\n"
             "the destination's natural shape. pattern (GBRG, BGGR, RGGB, GRBG) and method (\"2x2\",\n"
             "\"malvar\") are for Bayer sources, blue_first for Bicolor, unused_bits for the deeper\n"
             "side's samples; threads 0 is one per processor. Errors raise ValueError or TypeError\n"
             "with the library's message.");

static PyMethodDef methods[] = {
    {"convert", (PyCFunction)(void (*)(void))convert, METH_FASTCALL | METH_KEYWORDS, convert_doc},
    {"setup", setup, METH_VARARGS, "setup(format_codes, new_arrays, checked)"},
    {NULL, NULL, 0, NULL}};

static struct PyModuleDef module = {
    PyModuleDef_HEAD_INIT, "vyrutility._frame", NULL, -1, methods, NULL, NULL, NULL, NULL};

PyMODINIT_FUNC PyInit__frame(void)
{
    import_array();
    for (int i = 0; i < ARGUMENTS; ++i) {
        keywordNames[i] = PyUnicode_InternFromString(keywords[i]);
        if (!keywordNames[i])
            return NULL;
    }
    malvar = PyUnicode_InternFromString("malvar");
    if (!malvar)
        return NULL;
    return PyModule_Create(&module);
}
