"""Refuses to start worker processes from a script that would start them again.

A local Dask cluster starts its workers with multiprocessing's "spawn" method,
and each spawned process first re-runs the main script's unguarded code. A
script that calls decode_many at its top level, without the
`if __name__ == "__main__":` guard, therefore starts clusters without end. The
check below reads the script and fails at once, naming the fix.
"""

import ast
import multiprocessing
import os
import sys


def check_main_is_guarded(what):
    """Raises RuntimeError when starting local worker processes here would
    re-run the code that starts them."""
    if _start_method() == "fork":
        return
    fix = ('call %s under `if __name__ == "__main__":` in the script that uses it, since every '
           'local worker process re-runs the script\'s unguarded code' % what)
    if getattr(multiprocessing.current_process(), "_inheriting", False):
        raise RuntimeError("%s was called while a worker process was starting: %s" % (what, fix))
    line, script = _main_script_line()
    if script is not None and not _is_guarded(script, line):
        raise RuntimeError("%s was called outside the main guard of %s (line %d): %s"
                           % (what, script, line, fix))


def _start_method():
    try:
        import dask
        import distributed  # noqa: F401 - registers the distributed configuration

        return dask.config.get("distributed.worker.multiprocessing-method", "spawn")
    except ImportError:
        return "spawn"


def _main_script_line():
    """(line, path) of the main script's module-level statement that led to
    this call, or (None, None) when no script file runs it (interactive use,
    notebooks, python -c)."""
    main = sys.modules.get("__main__")
    script = getattr(main, "__file__", None)
    if not script:
        return None, None
    script = os.path.abspath(script)
    frame = sys._getframe(1)
    while frame is not None:
        if (frame.f_code.co_name == "<module>" and frame.f_globals is vars(main)
                and os.path.abspath(frame.f_code.co_filename) == script):
            return frame.f_lineno, script
        frame = frame.f_back
    return None, None


def _is_guarded(script, line):
    """Whether `line` of `script` lies in the body of an `if __name__ == "__main__":`.
    True when the script cannot be read: the check then stays out of the way."""
    try:
        with open(script, "rb") as f:
            tree = ast.parse(f.read(), script)
    except (OSError, SyntaxError, ValueError):
        return True
    for node in ast.walk(tree):
        if isinstance(node, ast.If) and _is_main_test(node.test) and node.body:
            if node.body[0].lineno <= line <= node.body[-1].end_lineno:
                return True
    return False


def _is_main_test(test):
    if not (isinstance(test, ast.Compare) and len(test.ops) == 1 and isinstance(test.ops[0], ast.Eq)):
        return False
    sides = (test.left, test.comparators[0])
    names = [s for s in sides if isinstance(s, ast.Name) and s.id == "__name__"]
    mains = [s for s in sides if isinstance(s, ast.Constant) and s.value == "__main__"]
    return len(names) == 1 and len(mains) == 1
