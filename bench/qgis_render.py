#!/usr/bin/python3
"""Peer: QGIS 3.22 draws the coastline's full extent at the frame size, antialiased, with the same
style as every other contender (a solid fill with a one-pixel outline), through
QgsMapRendererSequentialJob into an image.

  QT_QPA_PLATFORM=offscreen bench/qgis_render.py --out FILE [--folder DIR] [--repetitions N]
                                                 [--image FILE]

Two settings are measured, each with one untimed warm-up and N timed frames:
  canvas  rendering optimisation on, as QGIS's own map canvas sets it: geometries are simplified
          on the fly to the pixel size (the layer's default simplification, threshold 1 pixel).
          The goal is held against this one, the faster of the two.
  plain   QgsMapSettings' defaults, without that optimisation.
The result file holds the wall-clock and CPU times of every frame and their medians.
"""

import argparse
import json
import os
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import benchlib  # noqa: E402


def drawn_pixels(image, background):
    """How many pixels differ from the background: a frame with none drew nothing."""
    import numpy
    from qgis.PyQt.QtGui import QImage

    image = image.convertToFormat(QImage.Format_RGB32)
    bits = image.constBits()
    bits.setsize(image.sizeInBytes())
    pixels = numpy.frombuffer(bits, dtype=numpy.uint32).reshape(
        image.height(), image.bytesPerLine() // 4)[:, : image.width()]
    return int((pixels != (background.rgb() & 0xFFFFFFFF)).sum())


def measure(settings, repetitions):
    """One warm-up frame, then the timed ones; returns the times and the last image."""
    from qgis.core import QgsMapRendererSequentialJob

    def frame():
        wall = time.perf_counter()
        cpu = time.process_time()
        job = QgsMapRendererSequentialJob(settings)
        job.start()
        job.waitForFinished()
        cpu = time.process_time() - cpu
        wall = time.perf_counter() - wall
        errors = [f"{e.layerID}: {e.message}" for e in job.errors()]
        if errors:
            raise benchlib.BenchError("QGIS reported rendering errors: " + "; ".join(errors))
        return wall * 1000.0, cpu * 1000.0, job.renderedImage()

    first_ms, _, image = frame()
    wall_ms, cpu_ms = [], []
    for _ in range(repetitions):
        w, c, image = frame()
        wall_ms.append(w)
        cpu_ms.append(c)
    return {
        "first_ms": first_ms,
        "runs_ms": wall_ms,
        "cpu_runs_ms": cpu_ms,
        "median_ms": benchlib.median(wall_ms),
        "cpu_median_ms": benchlib.median(cpu_ms),
    }, image


def render_all(manifest, folder, repetitions, image_path):
    from qgis.core import (Qgis, QgsFillSymbol, QgsMapSettings, QgsSingleSymbolRenderer,
                           QgsVectorLayer)
    from qgis.PyQt.QtCore import QSize
    from qgis.PyQt.QtGui import QColor

    coastline = manifest["coastline"]
    path = folder / coastline["path"]
    layer = QgsVectorLayer(str(path), coastline["name"], "ogr")
    if not layer.isValid():
        raise benchlib.BenchError(f"{path}: QGIS cannot open it as a vector layer")
    if layer.featureCount() != coastline["features"]:
        raise benchlib.BenchError(
            f"{path}: QGIS sees {layer.featureCount()} features, the manifest "
            f"{coastline['features']}; run bench/make-data --force")
    style = manifest["style"]
    symbol = QgsFillSymbol.createSimple({
        "color": style["fill"],
        "style": "solid",
        "outline_color": style["outline"],
        "outline_style": "solid",
        "outline_width": str(style["outline_px"]),
        "outline_width_unit": "Pixel",
    })
    layer.setRenderer(QgsSingleSymbolRenderer(symbol))

    frame = manifest["frame"]
    background = QColor(style["background"])
    settings = QgsMapSettings()
    settings.setLayers([layer])
    settings.setDestinationCrs(layer.crs())
    settings.setOutputSize(QSize(frame["width"], frame["height"]))
    settings.setOutputDpi(96)
    settings.setExtent(layer.extent())
    settings.setBackgroundColor(background)
    settings.setFlag(QgsMapSettings.Antialiasing, style["antialiased"])

    results = {}
    for name, optimised in (("canvas", True), ("plain", False)):
        settings.setFlag(QgsMapSettings.UseRenderingOptimization, optimised)
        result, image = measure(settings, repetitions)
        result["drawn_pixels"] = drawn_pixels(image, background)
        if result["drawn_pixels"] == 0:
            raise benchlib.BenchError(f"QGIS drew nothing of {path} ({name} settings)")
        if name == "canvas" and image_path:
            image.save(str(image_path))
        results[name] = result

    simplify = layer.simplifyMethod()
    return {
        "qgis_version": Qgis.QGIS_VERSION,
        "file": str(path),
        "frame": [frame["width"], frame["height"]],
        "repetitions": repetitions,
        "simplify_threshold_px": simplify.threshold(),
        "simplify_local": simplify.forceLocalOptimization(),
        "settings": results,
    }


def main():
    parser = argparse.ArgumentParser(description="Times QGIS drawing the coastline's full extent.")
    parser.add_argument("--folder", help="data folder (default: the cache folder)")
    parser.add_argument("--repetitions", type=int, default=9)
    parser.add_argument("--out", required=True, help="result file (JSON)")
    parser.add_argument("--image", help="where to save the last canvas-settings frame (PNG)")
    args = parser.parse_args()
    if args.repetitions < 1:
        parser.error("--repetitions must be at least 1")
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")

    folder = benchlib.data_folder(args.folder)
    try:
        manifest = benchlib.load_manifest(folder)
    except benchlib.BenchError as e:
        print(f"qgis_render: {e}", file=sys.stderr)
        return 1

    try:
        from qgis.core import QgsApplication
    except ImportError as e:
        print(f"qgis_render: QGIS's Python bindings are missing ({e}); run scripts/setup bench "
              "and use Debian's /usr/bin/python3", file=sys.stderr)
        return 1

    QgsApplication.setPrefixPath("/usr", True)
    application = QgsApplication([], False)
    application.initQgis()
    try:
        # Every QGIS object is made and dropped inside render_all, before exitQgis tears down
        # the providers they use.
        result = render_all(manifest, folder, args.repetitions, args.image)
        status = 0
    except benchlib.BenchError as e:
        print(f"qgis_render: {e}", file=sys.stderr)
        status = 1
    application.exitQgis()
    if status == 0:
        Path(args.out).write_text(json.dumps(result, indent=1) + "\n", encoding="utf-8")
        canvas = result["settings"]["canvas"]
        print(f"qgis_render: QGIS {result['qgis_version']}, full frame "
              f"{canvas['median_ms']:.1f} ms (median of {args.repetitions})")
    return status


if __name__ == "__main__":
    sys.exit(main())
