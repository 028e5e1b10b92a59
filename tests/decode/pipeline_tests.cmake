# Tests of the article capture and decode pipeline.
