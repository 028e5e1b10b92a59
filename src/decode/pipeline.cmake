# Sources of the article capture and decode pipeline are added to kestrel_decode here.
