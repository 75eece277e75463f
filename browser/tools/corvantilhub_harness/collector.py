"""Arrival logs that other threads fill and the test thread waits on."""
import threading
import time

DEFAULT_TIMEOUT_SECONDS = 30.0


class WaitTimeout(AssertionError):
    """A condition didn't hold before its deadline."""


class Collector:
    """Items in arrival order, each with the monotonic time it arrived.

    `on_item` (optional) is called with every new item on the adding thread,
    which lets the simulator print as things happen. `timeout` is the
    deadline of waits that don't name their own.
    """

    def __init__(self, name: str, on_item=None, timeout: float = DEFAULT_TIMEOUT_SECONDS):
        self.name = name
        self.timeout = timeout
        self._on_item = on_item
        self._items = []
        self._changed = threading.Condition()
        self._closed = False

    def add(self, item) -> None:
        # The observer sees the item before any waiter does, so what a waiter
        # prints next comes after it.
        if self._on_item is not None:
            self._on_item(item)
        with self._changed:
            self._items.append((time.monotonic(), item))
            self._changed.notify_all()

    def close(self) -> None:
        """Marks the source as ended; waits still see what arrived."""
        with self._changed:
            self._closed = True
            self._changed.notify_all()

    @property
    def closed(self) -> bool:
        with self._changed:
            return self._closed

    def items(self) -> list:
        with self._changed:
            return [item for _, item in self._items]

    def timed_items(self) -> list:
        with self._changed:
            return list(self._items)

    def wait_until(self, condition, timeout=None, what="condition"):
        """Waits until `condition(items)` is truthy and returns its value.

        Gives up at the deadline, or once the source has closed and the
        condition still fails on everything that arrived.
        """
        timeout = timeout or self.timeout
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                result = condition([item for _, item in self._items])
                if result:
                    return result
                remaining = deadline - time.monotonic()
                if remaining <= 0 or self._closed:
                    break
                self._changed.wait(remaining)
        reason = "source closed" if self._closed else f"no luck within {timeout:.0f} s"
        raise WaitTimeout(f"{self.name}: waited for {what}; {reason}. Got:\n"
                          + describe(self.items()))

    def wait_for(self, predicate, timeout=None, what="a matching item", since=0):
        """The first item from position `since` on that satisfies `predicate`,
        waiting for it if needed."""
        def first_match(items):
            return next(((item,) for item in items[since:] if predicate(item)), None)
        return self.wait_until(first_match, timeout, what)[0]

    def __len__(self) -> int:
        with self._changed:
            return len(self._items)

    def wait_for_count(self, count, predicate=lambda _: True, timeout=None, what="items"):
        """The first `count` items that satisfy `predicate`."""
        def enough(items):
            matches = [item for item in items if predicate(item)]
            return matches[:count] if len(matches) >= count else None
        return self.wait_until(enough, timeout, f"{count} x {what}")


def appear_in_order(items, expected) -> bool:
    """True when `expected` is a subsequence of `items`: in this order, with
    anything (lines of other threads) allowed in between."""
    remaining = iter(items)
    return all(any(item == wanted for item in remaining) for wanted in expected)


def describe(items, limit=40) -> str:
    shown = [f"  {item!r}"[:300] for item in items[-limit:]]
    if len(items) > limit:
        shown.insert(0, f"  ... {len(items) - limit} earlier")
    return "\n".join(shown) or "  (nothing)"
