#!/usr/bin/env python3
"""Puts the X input focus on a window, as a window manager does.

    x_focus.py DISPLAY root|WINDOW

root: the root window, where the server leaves the focus when the window holding it goes away;
WINDOW: that window (decimal). Returns once the server has done it; fails when it refused.
"""
import socket
import struct
import sys

SET_INPUT_FOCUS = 42
GET_INPUT_FOCUS = 43
REVERT_TO_PARENT = 2


def receive(connection, size):
    data = b""
    while len(data) < size:
        chunk = connection.recv(size - len(data))
        if not chunk:
            sys.exit("x_focus: the display closed the connection")
        data += chunk
    return data


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    connection.connect(f"/tmp/.X11-unix/X{sys.argv[1].lstrip(':').split('.')[0]}")
    connection.sendall(struct.pack("<BxHHHHxx", ord("l"), 11, 0, 0, 0))
    head = receive(connection, 8)
    if head[0] != 1:
        sys.exit("x_focus: the display refused the connection")
    (units,) = struct.unpack_from("<H", head, 6)
    setup = receive(connection, units * 4)
    (vendor_length,) = struct.unpack_from("<H", setup, 16)
    formats = setup[21]
    (root,) = struct.unpack_from("<I", setup, 32 + (vendor_length + 3) // 4 * 4 + 8 * formats)
    window = root if sys.argv[2] == "root" else int(sys.argv[2])
    # As of the server's own time, so that it is never refused for its time stamp.
    connection.sendall(struct.pack("<BBHII", SET_INPUT_FOCUS, REVERT_TO_PARENT, 3, window, 0))
    # The answer to a later request says the server has dealt with the first; an error comes
    # before it.
    connection.sendall(struct.pack("<BxH", GET_INPUT_FOCUS, 1))
    while True:
        answer = receive(connection, 32)
        if answer[0] == 0:
            sys.exit(f"x_focus: the display refused the focus (error {answer[1]})")
        if answer[0] == 1:
            return


if __name__ == "__main__":
    main()
