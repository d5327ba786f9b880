#!/usr/bin/env python3
"""An X display in front of another that holds back every change of the input focus, or has the
server refuse it.

    late_focus_display.py DISPLAY DELAY_MS|refuse

Serves a display of its own, prints its number on a line once it takes connections, and passes
each connection on to DISPLAY unchanged, except that a client's SetInputFocus request, and
everything the client sends after it, reaches the server DELAY_MS later. A program's windows
then show, and take the keyboard as far as the program itself can tell, a while before the X
server gives them its input focus: the order in which a fast machine may happen to run them,
made certain, so that input sent through X before the focus arrives is lost every time.

The focus starts on no window, and goes back to none whenever a client that has set it ends, as
on a desktop where it passes to some other program: input sent before the next program's window
takes the focus reaches nothing, whichever window lies under the pointer.

With refuse, each SetInputFocus reaches the server stamped with a time before the server's last
change of the focus, which it refuses without an error, as it refuses a request of Wine's stamped
from a program's messages: the focus stays where the server itself puts it, on PointerRoot at first
and on the root once the window holding it goes away, while the program has the keyboard.
"""
import asyncio
import os
import signal
import struct
import sys

SET_INPUT_FOCUS = 42
SOCKETS = "/tmp/.X11-unix"


def known_size(head, order):
    """Bytes of the set-up (order None) or request that head begins, or None while head is too
    short to tell."""
    if order is None:
        if len(head) < 12:
            return None
        name, auth = struct.unpack_from(("<" if head[0:1] == b"l" else ">") + "HH", head, 6)
        return 12 + (name + 3) // 4 * 4 + (auth + 3) // 4 * 4
    if len(head) < 4:
        return None
    (units,) = struct.unpack_from(order + "H", head, 2)
    if units == 0:  # a big request: the real length follows
        if len(head) < 8:
            return None
        (units,) = struct.unpack_from(order + "I", head, 4)
    return units * 4


class FocusReset:
    """A connection of our own to the server, to put its input focus on no window."""

    async def open(self, target):
        self.reader, self.writer = await asyncio.open_unix_connection(target)
        self.writer.write(struct.pack("<BxHHHHxx", ord("l"), 11, 0, 0, 0))
        head = await self.reader.readexactly(8)
        if head[0] != 1:
            raise OSError("the display refused the connection")
        (units,) = struct.unpack_from("<H", head, 6)
        await self.reader.readexactly(units * 4)
        # Nothing it answers matters; it is read only so that the server never waits on us.
        self.draining = asyncio.create_task(self.reader.read(-1))

    async def reset(self):
        # No window, reverting to none, as of the server's own time.
        self.writer.write(struct.pack("<BBHII", SET_INPUT_FOCUS, 0, 3, 0, 0))
        await self.writer.drain()


async def read_client(reader, chunks, gone):
    """Takes in what the client sends as it comes, so that its going is seen at once."""
    try:
        while chunk := await reader.read(65536):
            chunks.put_nowait(chunk)
    finally:
        gone.set()
        chunks.put_nowait(b"")


async def client_to_server(reader, writer, delay, refuse, focus):
    chunks = asyncio.Queue()
    gone = asyncio.Event()
    reading = asyncio.create_task(read_client(reader, chunks, gone))
    focused = False  # whether the client has set the input focus
    try:
        focused = await pass_on(chunks, gone, writer, delay, refuse)
    finally:
        await reading
        writer.close()
        if focused:
            await focus.reset()


async def pass_on(chunks, gone, writer, delay, refuse):
    """Passes the client's requests on until it ends; whether it set the input focus."""
    order = None  # the client's byte order, once its set-up has come
    head = b""  # the start of a set-up or request whose length is not known yet
    left = 0  # bytes of the current set-up or request still to pass on
    lost = False  # after a length that makes no sense the rest passes on as it comes
    focused = False
    while chunk := await chunks.get():
        out = bytearray()
        at = 0
        while at < len(chunk):
            if lost:
                out += chunk[at:]
                break
            if left:
                part = chunk[at:at + left]
                out += part
                at += len(part)
                left -= len(part)
                continue
            want = 12 if order is None else 4 if len(head) < 4 else 12 if refuse and head[0] == SET_INPUT_FOCUS else 8
            taken = chunk[at:at + want - len(head)]
            head += taken
            at += len(taken)
            size = known_size(head, order)
            if size is None:
                continue
            if size < len(head):
                lost = True
            elif order is None:
                order = "<" if head[0:1] == b"l" else ">"
            elif head[0] == SET_INPUT_FOCUS and refuse and size == 12:
                if len(head) < size:
                    continue
                # One millisecond into the server's time: before any change of the focus.
                head = head[:8] + struct.pack(order + "I", 1)
            elif head[0] == SET_INPUT_FOCUS:
                focused = True
                writer.write(out)
                await writer.drain()
                out = bytearray()
                # A client that ends meanwhile takes what it holds back with it, as the server
                # drops an ended client's windows at once: held, it would raise and focus them
                # over the next program's.
                try:
                    await asyncio.wait_for(gone.wait(), delay)
                    return focused
                except asyncio.TimeoutError:
                    pass
            out += head
            left = max(size - len(head), 0)
            head = b""
        writer.write(out)
        await writer.drain()
    return focused


async def server_to_client(reader, writer):
    while True:
        chunk = await reader.read(65536)
        if not chunk:
            break
        writer.write(chunk)
        await writer.drain()
    writer.close()


async def serve(target, delay, refuse, number, path):
    focus = FocusReset()
    await focus.open(target)
    if not refuse:
        await focus.reset()

    async def connection(client_reader, client_writer):
        try:
            server_reader, server_writer = await asyncio.open_unix_connection(target)
        except OSError:
            client_writer.close()
            return
        await asyncio.gather(client_to_server(client_reader, server_writer, delay, refuse, focus),
                             server_to_client(server_reader, client_writer),
                             return_exceptions=True)

    server = await asyncio.start_unix_server(connection, path=path)
    print(number, flush=True)
    stop = asyncio.Event()
    for signal_number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        asyncio.get_running_loop().add_signal_handler(signal_number, stop.set)
    async with server:
        await stop.wait()


def lock_is_stale(lock):
    """True when the lock file names a process that is gone, as one killed outright leaves it."""
    try:
        with open(lock) as file:
            pid = int(file.read().strip())
        os.kill(pid, 0)
    except ProcessLookupError:
        return True
    except (OSError, ValueError):
        return False
    return False


def claim_display():
    """A display number nobody uses, claimed by its lock file as an X server claims one."""
    for number in range(200, 400):
        lock = f"/tmp/.X{number}-lock"
        try:
            fd = os.open(lock, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o444)
        except FileExistsError:
            if not lock_is_stale(lock):
                continue
            try:
                os.unlink(lock)
                fd = os.open(lock, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o444)
            except OSError:
                continue
        os.write(fd, f"{os.getpid():10d}\n".encode())
        os.close(fd)
        # An X server holds its lock while it listens: a socket without one is left over.
        path = f"{SOCKETS}/X{number}"
        if os.path.exists(path):
            os.unlink(path)
        return number, lock, path
    sys.exit("late_focus_display: no free display number")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    target = f"{SOCKETS}/X{sys.argv[1].lstrip(':').split('.')[0]}"
    refuse = sys.argv[2] == "refuse"
    delay = 0 if refuse else int(sys.argv[2]) / 1000
    number, lock, path = claim_display()
    try:
        asyncio.run(serve(target, delay, refuse, number, path))
    finally:
        for name in (path, lock):
            try:
                os.unlink(name)
            except OSError:
                pass


if __name__ == "__main__":
    main()
