#!/usr/bin/env python3
"""Turns a video file, or a folder of pictures, into a Noxel film.

    python3 video2nxl.py [options] INPUT NAME

ffmpeg decodes the video at 30 frames per second, fits the pictures into the
film's size and turns them grey; this script writes them as the 8-bit BMP
images NoxelTool reads and runs NoxelTool (under Wine outside Windows). It
leaves NAME.nxl and, when the video has sound, NAME.wav in the form the
screen saver plays (16-bit PCM, the format chunk first, the data chunk right
after it). All the work happens in a temporary folder beside NAME, which is
removed at the end: a failed or interrupted run leaves nothing behind.
"""

import argparse
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile

FPS = 30
SOUND_RATE = 44100
SOUND_CHANNELS = 2
PICTURE_EXTENSIONS = (".png", ".jpg", ".jpeg", ".bmp", ".gif", ".tif", ".tiff", ".webp")
MAX_SIDE = 4096


class Failure(Exception):
    """A problem the user can act on: printed as it stands, exit code 1."""


# --- command line --------------------------------------------------------------------------------

def parse_size(text):
    match = re.fullmatch(r"(\d+)[xX](\d+)", text)
    if not match:
        raise argparse.ArgumentTypeError(f"size must be WIDTHxHEIGHT, such as 480x360, not '{text}'")
    width, height = int(match.group(1)), int(match.group(2))
    if not (1 <= width <= MAX_SIDE and 1 <= height <= MAX_SIDE):
        raise argparse.ArgumentTypeError(f"width and height must lie between 1 and {MAX_SIDE}")
    return width, height


def parse_threshold(text):
    try:
        value = int(text)
    except ValueError:
        value = -1
    if not 0 <= value <= 255:
        raise argparse.ArgumentTypeError(f"threshold must be a grey level from 0 to 255, not '{text}'")
    return value


def parse_seconds(text):
    try:
        value = float(text)
    except ValueError:
        value = -1.0
    if value < 0:
        raise argparse.ArgumentTypeError(f"'{text}' is not a number of seconds")
    return value


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="video2nxl",
        description="Turn a video file, or a folder of pictures (one picture per frame, in name order), "
                    "into a Noxel film NAME.nxl, and its sound into NAME.wav.")
    parser.add_argument("input", help="a video file, or a folder of pictures")
    parser.add_argument("name", help="the film's name, optionally with a folder: out/MyFilm makes out/MyFilm.nxl")
    parser.add_argument("--size", type=parse_size, default=(480, 360), metavar="WxH",
                        help="the film's size in pixels (default 480x360); the picture keeps its shape, "
                             "the rest is filled with the --pad colour")
    parser.add_argument("--pad", choices=("black", "white"), default="black",
                        help="colour of the bands around a picture of another shape (default black)")
    parser.add_argument("--threshold", type=parse_threshold, metavar="LEVEL",
                        help="make the film pure black and white: grey levels from LEVEL (0-255) up become white")
    parser.add_argument("--start", type=parse_seconds, metavar="SECONDS", help="skip this much of the video")
    parser.add_argument("--duration", type=parse_seconds, metavar="SECONDS", help="take at most this much of it")
    parser.add_argument("--tool", metavar="NoxelTool.exe", help="where NoxelTool.exe is, if the script cannot find it")
    return parser.parse_args(argv)


def split_name(name):
    """The folder the film goes into, and the film's stem."""
    folder, stem = os.path.split(name)
    if stem.lower().endswith(".nxl"):
        stem = stem[:-4]
    if not stem or re.search(r'[<>:"/\\|?*\x00-\x1f]', stem) or stem.strip(" .") != stem:
        raise Failure(f"'{name}' is not a usable film name")
    folder = folder or "."
    if not os.path.isdir(folder):
        raise Failure(f"the folder '{folder}' for the film does not exist")
    return folder, stem


# --- tools -----------------------------------------------------------------------------------------

def on_windows():
    return os.name == "nt"


def find_tool(given):
    if given:
        if not os.path.isfile(given):
            raise Failure(f"NoxelTool not found at '{given}'")
        return os.path.abspath(given)
    here = os.path.dirname(os.path.abspath(__file__))
    build = os.environ.get("NOXEL_BUILD_DIR") or os.path.join(here, "..", "build")
    for candidate in (os.path.join(here, "NoxelTool.exe"), os.path.join(build, "bin", "NoxelTool.exe")):
        if os.path.isfile(candidate):
            return os.path.abspath(candidate)
    found = shutil.which("NoxelTool.exe") or shutil.which("NoxelTool")
    if found:
        return found
    raise Failure("NoxelTool.exe not found: build it (bash scripts/build.sh) or give --tool")


def require(program):
    if not shutil.which(program):
        raise Failure(f"{program} is not installed (Debian: apt-get install ffmpeg; Windows: ffmpeg.org, "
                      "then put its bin folder on PATH)")


def last_lines(path, count=3):
    try:
        with open(path, "r", errors="replace") as log:
            lines = [line.strip() for line in log if line.strip()]
    except OSError:
        return ""
    return "\n".join(lines[-count:])


class Progress:
    """One line on stderr, rewritten in place while the work goes on; where
    stderr is no terminal, only the last state of each step is written."""

    def __init__(self):
        self.live = sys.stderr.isatty()
        self.text = ""

    def show(self, text):
        if self.live:
            sys.stderr.write("\r" + text.ljust(len(self.text)))
            sys.stderr.flush()
        self.text = text

    def done(self):
        if self.text:
            sys.stderr.write(("\n" if self.live else self.text + "\n"))
            sys.stderr.flush()
        self.text = ""


# --- reading the input ------------------------------------------------------------------------------

def check_input(path):
    if not os.path.exists(path):
        raise Failure(f"'{path}' does not exist")
    if os.path.isdir(path):
        pictures = sorted((name for name in os.listdir(path) if name.lower().endswith(PICTURE_EXTENSIONS)),
                          key=natural_key)
        if not pictures:
            raise Failure(f"the folder '{path}' holds no pictures ({', '.join(PICTURE_EXTENSIONS)})")
        kinds = {os.path.splitext(name)[1].lower().replace(".jpeg", ".jpg") for name in pictures}
        if len(kinds) > 1:
            raise Failure(f"the folder '{path}' holds pictures of several kinds ({', '.join(sorted(kinds))}): "
                          "convert them to one kind first")
        return [os.path.join(path, name) for name in pictures]
    try:
        with open(path, "rb") as video:
            video.read(1)
    except OSError as error:
        raise Failure(f"cannot read '{path}': {error.strerror}") from None
    return None


def natural_key(name):
    return [int(part) if part.isdigit() else part.lower() for part in re.split(r"(\d+)", name)]


def probe(path):
    """The video's length in seconds (None when unknown) and whether it has sound."""
    result = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration:stream=codec_type",
                             "-of", "default=noprint_wrappers=1", path],
                            stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if result.returncode != 0:
        message = result.stderr.strip().splitlines()
        raise Failure(f"cannot read '{path}' as a video: {message[-1] if message else 'ffprobe failed'}")
    fields = [line.split("=", 1) for line in result.stdout.splitlines() if "=" in line]
    kinds = [value for key, value in fields if key == "codec_type"]
    if "video" not in kinds:
        raise Failure(f"'{path}' holds no pictures")
    durations = [value for key, value in fields if key == "duration"]
    try:
        seconds = float(durations[0])
    except (IndexError, ValueError):
        seconds = None
    return seconds, "audio" in kinds


def picture_filter(options):
    width, height = options.size
    steps = [
        "scale=iw*sar:ih", "setsar=1",  # square pixels first, so the shape is kept
        f"scale={width}:{height}:force_original_aspect_ratio=decrease:flags=area",
        f"pad={width}:{height}:(ow-iw)/2:(oh-ih)/2:color={options.pad}",
        # Full range: black is 0 and white 255, not video's 16 and 235.
        "scale=out_range=full", "format=gray",
    ]
    if options.threshold is not None:
        steps.append(f"lut=c0='if(gte(val,{options.threshold}),255,0)'")
    return ",".join(steps)


def check_space(folder, size, total):
    """NoxelTool reads every picture twice, so all of them are on disk at once:
    refuse at the start rather than fill the disk half way."""
    if not total:
        return
    width, height = size
    needed = total * (len(bmp_header(width, height)) + ((width + 3) & ~3) * height)
    free = shutil.disk_usage(folder).free
    if needed > free:
        raise Failure(f"the pictures of {total} frames need about {needed / 1e9:.1f} GB beside the film, "
                      f"and only {free / 1e9:.1f} GB are free: take a part with --duration, or a smaller --size")


def link_pictures(pictures, folder):
    """Numbered names for the folder's pictures, in order, as ffmpeg reads a sequence."""
    os.mkdir(folder)
    extension = os.path.splitext(pictures[0])[1].lower()
    for index, picture in enumerate(pictures):
        target = os.path.join(folder, f"{index:07d}{extension}")
        try:
            os.symlink(os.path.abspath(picture), target)
        except OSError:
            shutil.copyfile(picture, target)
    return os.path.join(folder, "%07d" + extension)


def time_options(options):
    before = ["-ss", str(options.start)] if options.start else []
    after = ["-t", str(options.duration)] if options.duration is not None else []
    return before, after


# --- BMP and WAV files -----------------------------------------------------------------------------

def bmp_header(width, height):
    """File and info headers and a grey colour table: 8 bits, uncompressed, biClrUsed 0."""
    stride = (width + 3) & ~3
    head = 14 + 40 + 1024
    file_header = struct.pack("<2sIHHI", b"BM", head + stride * height, 0, 0, head)
    info_header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, stride * height, 2835, 2835, 0, 0)
    palette = b"".join(bytes((v, v, v, 0)) for v in range(256))
    return file_header + info_header + palette


def bmp_rows(picture, width, height):
    """Top-down grey rows turned into BMP rows: bottom row first, padded to four bytes."""
    padding = b"\0" * (((width + 3) & ~3) - width)
    return b"".join(picture[row * width:(row + 1) * width] + padding for row in range(height - 1, -1, -1))


def plain_wav(source, target, max_frames):
    """Copies a WAV written by ffmpeg as RIFF, a 16-byte format chunk and the data
    chunk right after it, dropping every other chunk; keeps at most max_frames."""
    with open(source, "rb") as wav:
        image = wav.read()
    if image[:4] != b"RIFF" or image[8:12] != b"WAVE":
        raise Failure("ffmpeg wrote no usable WAV file")
    position, fmt, data = 12, None, None
    while position + 8 <= len(image):
        chunk_id, size = struct.unpack_from("<4sI", image, position)
        body = image[position + 8:position + 8 + size]
        if chunk_id == b"fmt ":
            fmt = body
        elif chunk_id == b"data":
            data = body
            break
        position += 8 + size + (size & 1)
    if fmt is None or data is None or len(fmt) < 16:
        raise Failure("ffmpeg wrote no usable WAV file")
    tag, channels, rate, _, block_align, bits = struct.unpack_from("<HHIIHH", fmt)
    if tag == 0xFFFE:
        tag = 1  # the extensible form of the same 16-bit PCM
    if tag != 1 or block_align == 0:
        raise Failure("ffmpeg wrote an unexpected sound format")
    data = data[:min(len(data) // block_align, max_frames) * block_align]
    fmt16 = struct.pack("<HHIIHH", tag, channels, rate, rate * block_align, block_align, bits)
    with open(target, "wb") as wav:
        wav.write(b"RIFF" + struct.pack("<I", 4 + 8 + 16 + 8 + len(data)) + b"WAVE")
        wav.write(b"fmt " + struct.pack("<I", 16) + fmt16)
        wav.write(b"data" + struct.pack("<I", len(data)) + data)


def film_header(path):
    """Frame count, width and height of a film, or None when it is no film."""
    try:
        with open(path, "rb") as film:
            head = film.read(20)
    except OSError:
        return None
    if len(head) < 20 or head[:4] != b"NoXl":
        return None
    return struct.unpack_from("<Iii", head, 4)


# --- the steps -------------------------------------------------------------------------------------

class Children:
    """The programs started so far, stopped if the script ends early."""

    def __init__(self):
        self.running = []

    def start(self, command, **kwargs):
        process = subprocess.Popen(command, **kwargs)
        self.running.append(process)
        return process

    def stop_all(self):
        for process in self.running:
            if process.poll() is None:
                process.kill()
                process.wait()


def write_frames(options, source, pictures, total, work, stem, children, progress):
    """Decodes the pictures into work/frames as numbered BMPs; returns their count."""
    width, height = options.size
    frames = os.path.join(work, "frames")
    before, after = time_options(options)
    if pictures:
        inputs = ["-framerate", str(FPS), "-i", link_pictures(pictures, os.path.join(work, "pictures"))]
    else:
        inputs = before + ["-i", source] + after + ["-map", "0:v:0", "-r", str(FPS)]
    os.mkdir(frames)
    log_path = os.path.join(work, "ffmpeg.log")
    with open(log_path, "wb") as log:
        ffmpeg = children.start(["ffmpeg", "-v", "error", "-nostdin"] + inputs +
                                ["-vf", picture_filter(options), "-f", "rawvideo", "-pix_fmt", "gray", "-"],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=log)
        header = bmp_header(width, height)
        size = width * height
        count = 0
        while True:
            picture = ffmpeg.stdout.read(size)
            if len(picture) < size:
                break
            with open(os.path.join(frames, f"{stem}{count:07d}.bmp"), "wb") as bmp:
                bmp.write(header + bmp_rows(picture, width, height))
            count += 1
            if count % 10 == 0:
                progress.show(f"pictures: {count}" + (f" of about {total}" if total else ""))
        ffmpeg.stdout.close()
        status = ffmpeg.wait()
    progress.done()
    if status != 0:
        raise Failure(f"ffmpeg could not decode '{source}': {last_lines(log_path) or f'exit code {status}'}")
    if count == 0:
        raise Failure(f"no pictures could be read from '{source}'")
    return count


def write_sound(options, source, work, stem, frames, children):
    before, after = time_options(options)
    raw = os.path.join(work, "ffmpeg.wav")
    log_path = os.path.join(work, "ffmpeg-sound.log")
    with open(log_path, "wb") as log:
        status = children.start(["ffmpeg", "-v", "error", "-nostdin"] + before + ["-i", source] + after +
                                ["-map", "0:a:0", "-vn", "-ac", str(SOUND_CHANNELS), "-ar", str(SOUND_RATE),
                                 "-c:a", "pcm_s16le", "-bitexact", "-map_metadata", "-1", "-f", "wav", raw],
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=log).wait()
    if status != 0:
        raise Failure(f"ffmpeg could not decode the sound of '{source}': {last_lines(log_path)}")
    # The music starts again with the film, so it need not outlast it.
    wav = os.path.join(work, stem + ".wav")
    plain_wav(raw, wav, frames * SOUND_RATE // FPS)
    os.remove(raw)
    return wav


def encode(tool, work, stem, frames, children, progress):
    """Runs NoxelTool on work/frames; returns the path of the film it made."""
    command = [tool, "frames", stem]
    env = dict(os.environ)
    if not on_windows():
        command.insert(0, "wine")
        env.setdefault("WINEDEBUG", "-all")
        env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    log_path = os.path.join(work, "NoxelTool.log")
    checked = encoded = 0
    with open(log_path, "wb") as log:
        noxel_tool = children.start(command, cwd=work, env=env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        for line in noxel_tool.stdout:
            log.write(line)
            checked += line.count(b"...Ok")
            encoded += line.count(b"...done(")
            progress.show(f"NoxelTool: {checked} of {frames} pictures checked, {encoded} encoded")
        status = noxel_tool.wait()
    progress.done()
    film = os.path.join(work, stem + ".nxl")
    # NoxelTool ends with code 0 after most of its errors: the film itself tells.
    header = film_header(film)
    if status != 0 or header is None or header[0] != frames:
        raise Failure(f"NoxelTool failed: {last_lines(log_path) or f'exit code {status}'}")
    return film


def convert(options):
    folder, stem = split_name(options.name)
    pictures = check_input(options.input)
    require("ffmpeg")
    require("ffprobe")
    tool = find_tool(options.tool)
    if pictures:
        total, has_sound = len(pictures), False
    else:
        seconds, has_sound = probe(options.input)
        if seconds is not None:
            seconds = max(0.0, seconds - (options.start or 0))
            if options.duration is not None:
                seconds = min(seconds, options.duration)
        total = round(seconds * FPS) if seconds else None

    check_space(folder, options.size, total)
    work = tempfile.mkdtemp(prefix=f".{stem}-", dir=folder)
    children = Children()
    progress = Progress()
    try:
        frames = write_frames(options, options.input, pictures, total, work, stem, children, progress)
        wav = write_sound(options, options.input, work, stem, frames, children) if has_sound else None
        film = encode(tool, work, stem, frames, children, progress)
        made = []
        if wav:
            os.replace(wav, os.path.join(folder, stem + ".wav"))
            made.append(os.path.join(folder, stem + ".wav"))
        os.replace(film, os.path.join(folder, stem + ".nxl"))
        made.insert(0, os.path.join(folder, stem + ".nxl"))
    finally:
        progress.done()
        children.stop_all()
        shutil.rmtree(work, ignore_errors=True)

    width, height = options.size
    print(f"{made[0]}: {frames} frames of {width}x{height}, {frames / FPS:.1f} s, "
          f"{os.path.getsize(made[0])} bytes")
    if wav:
        print(f"{made[1]}: sound for the film, {os.path.getsize(made[1])} bytes")
    else:
        print("no sound: the input has none")


def main(argv):
    options = parse_arguments(argv)
    # A terminated run cleans up as an interrupted one does.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    try:
        convert(options)
    except Failure as failure:
        print(f"video2nxl: {failure}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("video2nxl: interrupted", file=sys.stderr)
        return 130
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
