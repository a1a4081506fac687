"""`python3 -m vivividodor_kit` runs the vivividodor command."""

import sys

from .cli import main

sys.exit(main())
