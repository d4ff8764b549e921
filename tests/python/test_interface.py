# SPDX-License-Identifier: MIT
"""The module's surface as users and type checkers see it: stubs and docstrings."""

import ast
import inspect
from pathlib import Path

import tarnfb

STUBS = Path(tarnfb.__file__).with_name("__init__.pyi")


def _public(cls):
    return {n for n, _ in inspect.getmembers(cls) if not n.startswith("_")}


def test_stubs_declare_exactly_the_module_and_its_members():
    tree = ast.parse(STUBS.read_text())
    classes = {n.name: n for n in tree.body if isinstance(n, ast.ClassDef)}

    def declared(node):
        names = {n.name for n in node.body if isinstance(n, ast.FunctionDef)}
        names |= {n.target.id for n in node.body if isinstance(n, ast.AnnAssign)}
        for base in node.bases:  # a stub-only base such as _Typed[int]
            base_name = base.value.id if isinstance(base, ast.Subscript) else getattr(base, "id", "")
            if base_name in classes:
                names |= declared(classes[base_name])
        return {n for n in names if not n.startswith("_")}

    assert {n for n in classes if not n.startswith("_")} == set(tarnfb.__all__)
    for name in tarnfb.__all__:
        assert declared(classes[name]) == _public(getattr(tarnfb, name)) - _public(BaseException), name


def test_every_public_name_has_a_docstring():
    for name in tarnfb.__all__:
        cls = getattr(tarnfb, name)
        assert cls.__module__ == "tarnfb" and (cls.__doc__ or "").strip(), name
        for member in _public(cls) - _public(BaseException):
            assert (getattr(cls, member).__doc__ or "").strip(), f"{name}.{member}"
