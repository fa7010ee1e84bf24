"""The wheel of one platform: the Python code runs on any Python 3, the
library inside on that platform only. So the package installs as a
platform's (platlib) and the wheel is tagged py3-none-PLATFORM, the platform
given by bdist_wheel's --plat-name (this machine's by default)."""
from setuptools import Distribution, setup
from wheel.bdist_wheel import bdist_wheel


class PlatformDistribution(Distribution):
    def has_ext_modules(self):
        return True


class PlatformWheel(bdist_wheel):
    def get_tag(self):
        return "py3", "none", super().get_tag()[2]


setup(distclass=PlatformDistribution, cmdclass={"bdist_wheel": PlatformWheel})
