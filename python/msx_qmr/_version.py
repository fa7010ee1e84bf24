__version__ = "1.8.0.11"
