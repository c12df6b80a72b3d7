#!/usr/bin/env python3
"""Makes the media files the Windows build's tag and cover tests read, with
ffmpeg on the building machine (a Windows program under Wine cannot start
it): tones tagged as the Linux tests tag theirs, a small PNG cover attached,
and images of a few sizes and formats for the scaler.

    make_media.py FOLDER      (writes FOLDER/done last)
"""
import base64
import os
import struct
import subprocess
import sys

TAGS = [("artist", "Nāndu Café"), ("album_artist", "Various"), ("album", "日本語の歌"), ("title", " Tōkyō "),
        ("genre", "Jazz"), ("track", "3/12"), ("disc", "2/2"), ("date", "1999")]


def ffmpeg(*arguments):
    subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", *arguments], check=True)


def tone(path, tags, cover=None, seconds=1):
    command = ["-f", "lavfi", "-i", f"sine=frequency=440:duration={seconds}"]
    if cover:
        command += ["-i", cover, "-map", "0", "-map", "1", "-c:v", "copy", "-disposition:v", "attached_pic"]
    if not tags:
        command += ["-map_metadata", "-1", "-fflags", "+bitexact", "-flags:a", "+bitexact"]
    for key, value in tags:
        command += ["-metadata", f"{key}={value}"]
    ffmpeg(*command, path)


def image(path, source, extra=()):
    ffmpeg("-f", "lavfi", "-i", source, "-frames:v", "1", *extra, path)


def vorbis_picture(png):
    """A Vorbis comment's picture: a FLAC picture block (front cover), in Base64."""
    mime = b"image/png"
    block = struct.pack(">II", 3, len(mime)) + mime + struct.pack(">IIIIII", 0, 16, 16, 24, 0, len(png)) + png
    return base64.b64encode(block).decode()


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    os.chdir(folder)
    image("cover.png", "color=c=red:s=16x16")
    with open("cover.png", "rb") as f:
        png = f.read()
    for name in ("tagged.mp3", "tagged.flac", "tagged.m4a", "Café 日本.mp3"):
        tone(name, TAGS, "cover.png")
    tone("tagged.ogg", TAGS + [("METADATA_BLOCK_PICTURE", vorbis_picture(png))])
    tone("nopicture.flac", TAGS)
    # Longer than the head and tail the reader keeps in memory.
    tone("long.flac", TAGS, "cover.png", 30)
    tone("untagged.mp3", [])
    with open("notes.mp3", "w") as f:
        f.write("not audio at all, only words")
    # The scaler's inputs: opaque and transparent, small and large.
    image("photo.jpg", "testsrc=s=1000x500")
    image("small.jpg", "testsrc=s=300x200")
    image("small.png", "testsrc=s=90x90")
    image("clear.png", "color=c=0x00808080:s=400x200", ("-vf", "format=rgba"))
    image("picture.bmp", "testsrc=s=640x480")
    image("clear.webp", "color=c=0x00808080:s=300x150", ("-vf", "format=rgba"))
    # More pixels than the scaler decodes, in a few bytes.
    image("bomb.png", "color=c=black:s=7000x7000", ("-pix_fmt", "monob"))
    open("done", "w").close()


if __name__ == "__main__":
    main()
