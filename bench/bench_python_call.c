/*
 * vyr_bench_call: VyrFrameConvert called from Python with its arguments made beforehand, for
 * bench_python_cv2.py. Timed there exactly as vyrutility.convert is (a Python call between two
 * clock readings), it is what a C program pays per frame plus the least a Python call can cost.
 */
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <VyrFrame.h>

enum { CALLS = 16 };

static struct {
    VyrFrameImage src, dst;
    VyrFrameOptions options;
} calls[CALLS];
static int prepared;

/* prepare(src_address, src_pitch, src_format, dst_address, dst_pitch, dst_format, width, height,
 *         pattern, method, threads) -> the number run() takes */
static PyObject* prepare(PyObject* module, PyObject* args)
{
    (void)module;
    unsigned long long source, destination;
    Py_ssize_t sourcePitch, destinationPitch;
    unsigned int sourceFormat, destinationFormat, width, height, pattern, method, threads;
    if (!PyArg_ParseTuple(args, "KnIKnIIIIII:prepare", &source, &sourcePitch, &sourceFormat, &destination,
                          &destinationPitch, &destinationFormat, &width, &height, &pattern, &method,
                          &threads))
        return NULL;
    if (prepared == CALLS) {
        PyErr_SetString(PyExc_RuntimeError, "no room for another prepared call");
        return NULL;
    }
    VyrFrameImage src = {sourceFormat, width, height, sourcePitch, {(void*)(uintptr_t)source}};
    VyrFrameImage dst = {destinationFormat, width, height, destinationPitch, {(void*)(uintptr_t)destination}};
    calls[prepared].src = src;
    calls[prepared].dst = dst;
    VyrFrameOptions options = {0, pattern, method, 0, threads};
    calls[prepared].options = options;
    return PyLong_FromLong(prepared++);
}

/* run(number) -> VyrFrameConvert's result */
static PyObject* run(PyObject* module, PyObject* number)
{
    (void)module;
    long i = PyLong_AsLong(number);
    if (i < 0 || i >= prepared) {
        if (!PyErr_Occurred())
            PyErr_SetString(PyExc_IndexError, "no such prepared call");
        return NULL;
    }
    return PyLong_FromLong(VyrFrameConvert(&calls[i].src, &calls[i].dst, &calls[i].options));
}

static PyMethodDef methods[] = {
    {"prepare", prepare, METH_VARARGS, NULL}, {"run", run, METH_O, NULL}, {NULL, NULL, 0, NULL}};

static struct PyModuleDef module = {
    PyModuleDef_HEAD_INIT, "vyr_bench_call", NULL, -1, methods, NULL, NULL, NULL, NULL};

PyMODINIT_FUNC PyInit_vyr_bench_call(void) { return PyModule_Create(&module); }
