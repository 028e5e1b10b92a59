# Sources of the scan driver are added to kestrel_scan here.
