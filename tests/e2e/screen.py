"""What the X server shows, for the end-to-end tests."""
import os
import subprocess
import time


def wait_until(test, seconds=15):
    """test() polled every tenth of a second until it gives something true; that, or None at the time limit."""
    end = time.time() + seconds
    while time.time() < end:
        value = test()
        if value:
            return value
        time.sleep(0.1)
    return None


def screen_pixel(x, y, work):
    """The red, green and blue of the screen at (x, y); work is a scratch folder."""
    shot = os.path.join(work, "screen.png")
    subprocess.run(["import", "-window", "root", shot], check=True)
    out = subprocess.run(["convert", shot, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-"],
                         capture_output=True, text=True, check=True)
    # "0,0: (255,255,0)  #FFFF00  yellow"
    values = out.stdout.splitlines()[-1].split("(")[1].split(")")[0]
    return tuple(int(float(v)) for v in values.split(",")[:3])
