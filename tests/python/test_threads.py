# SPDX-License-Identifier: MIT
"""Several Python threads on the one session: every listing reads its own reply."""

import threading

ROUNDS = 40


def _listing(dev, block):
    props = tuple((p.name, p.type, p.value, p.index, p.choices) for p in dev.properties(block).values())
    return props, dev.inputs(block), dev.outputs(block)


def test_eight_threads_list_properties_concurrently(state, dev):
    blocks = [b for f in dev.factories() for b in dev.blocks(f)]
    expected = {b: _listing(dev, b) for b in blocks}
    snapshot = dev.snapshot()
    factories = dev.factories()
    failures = []

    def worker(n):
        try:
            for r in range(ROUNDS):
                block = blocks[(n + r) % len(blocks)]
                assert _listing(dev, block) == expected[block], block
                if r % 10 == n % 10:
                    assert dev.factories() == factories
                    assert dev.snapshot() == snapshot
        except Exception as e:  # reported by the main thread
            failures.append(f"thread {n}: {e!r}")

    threads = [threading.Thread(target=worker, args=(n,)) for n in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []
